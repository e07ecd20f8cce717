#include "FuzzTempFolder.h"

#include "FuzzCheck.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace qm::fuzz {

FuzzTempFolder::FuzzTempFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/quillmere-fuzz-XXXXXX";
    Check(::mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
    m_path = pattern;
}

FuzzTempFolder::~FuzzTempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteBytes(const std::string& path, const void* data, std::size_t size)
{
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    Check(file != nullptr, "a temporary file can be created");
    Check(size == 0 || std::fwrite(data, 1, size, file.get()) == size, "a temporary file can be written");
    Check(std::fflush(file.get()) == 0, "a temporary file can be written");
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    Check(in.good(), "a temporary file can be read");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace qm::fuzz
