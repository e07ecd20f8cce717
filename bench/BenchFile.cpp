#include "BenchFile.h"

#include "tools/CSyntheticMob.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qm::bench {

namespace {

void Write(const std::string& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

struct Folder {
    std::string path;
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace

const BenchFile& BenchFile::Get()
{
    static Folder folder;
    static const BenchFile file = [] {
        BenchFile made;
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        folder.path = made.folder = pattern;

        tools::SyntheticOptions options;
        options.chunkCount = 1000000;
        if (const char* chunks = std::getenv("QUILLMERE_BENCH_CHUNKS"))
            options.chunkCount = std::strtoull(chunks, nullptr, 10);
        options.maxDepth = 6;
        options.maxPayload = 200;
        const auto bytes = tools::CSyntheticMob::Generate(options);
        const std::string desc = tools::CSyntheticMob::DescriptionText();

        made.mobPath = made.folder + "/bench.mob";
        made.descPath = made.folder + "/mob_desc.txt";
        Write(made.mobPath, bytes.data(), bytes.size());
        Write(made.descPath, desc.data(), desc.size());
        made.chunks = options.chunkCount;
        made.bytes = bytes.size();
        return made;
    }();
    return file;
}

} // namespace qm::bench
