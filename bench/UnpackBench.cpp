// Unpacking the million-chunk file into its JSON document and packing it
// back, in MB of MOB bytes a second; the memory packing takes beside the
// document's size; and mobtool diff of two such files that differ in ten
// chunks beside a load of both.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "cli/CMobTool.h"
#include "mob/CMobDocument.h"
#include "platform/FileSystem.h"
#include "unpack/CPackReader.h"
#include "unpack/CUnpackWriter.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <unistd.h>

namespace qm::bench {
namespace {

constexpr const char* kPackMemoryProbe = "--pack-memory-probe";
constexpr std::size_t kChangedChunks = 10;

void Load(CMobDocument& doc, const std::string& path)
{
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile() || !doc.LoadMobFile(path))
        throw std::runtime_error("cannot load " + path + ": " + doc.GetIoError());
}

// The bench file's document, written once.
const std::string& JsonPath()
{
    static const std::string path = [] {
        const BenchFile& file = BenchFile::Get();
        CMobDocument doc;
        Load(doc, file.mobPath);
        const std::string json = file.folder + "/bench.json";
        CUnpackWriter writer(doc);
        if (!writer.WriteFile(doc.Tree().GetRootItem(), "bench.mob", json))
            throw std::runtime_error(writer.GetError());
        return json;
    }();
    return path;
}

// The bench file with one payload byte changed in each of ten leaves spread
// over it.
const std::string& ChangedPath()
{
    static const std::string path = [] {
        const BenchFile& file = BenchFile::Get();
        CMobDocument doc;
        Load(doc, file.mobPath);
        std::string bytes;
        std::string error;
        if (!platform::ReadWholeFile(file.mobPath, bytes, error))
            throw std::runtime_error(error);
        const CChunkTree& tree = doc.Tree();
        std::size_t changed = 0;
        const std::size_t step = tree.GetCount() / kChangedChunks;
        for (NodeId node = 2; node <= tree.GetCount() && changed < kChangedChunks; ++node) {
            const CMobChunk& rec = *doc.Chunks().Lookup(tree.GetItemData(node));
            if (node < 2 + changed * step || tree.ItemHasChildren(node) || rec.m_nSize == 0)
                continue;
            bytes[rec.m_nOffset + 8] = static_cast<char>(bytes[rec.m_nOffset + 8] ^ 0x5A);
            ++changed;
        }
        const std::string out = file.folder + "/changed.mob";
        if (!platform::WriteFileSafely(out, bytes.data(), bytes.size(), error))
            throw std::runtime_error(error);
        return out;
    }();
    return path;
}

void SetMobBytesPerSecond(benchmark::State& state)
{
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BenchFile::Get().bytes));
    state.counters["mob_MB_per_s"] = benchmark::Counter(static_cast<double>(BenchFile::Get().bytes) / 1e6,
                                                        benchmark::Counter::kIsIterationInvariantRate);
}

// From the loaded document to the whole JSON text, which is thrown away.
void BM_Unpack(benchmark::State& state)
{
    CMobDocument doc;
    Load(doc, BenchFile::Get().mobPath);
    CUnpackWriter writer(doc);
    std::uint64_t written = 0;
    for (auto _ : state) {
        const bool done = writer.Write(doc.Tree().GetRootItem(), "bench.mob", [&](std::string_view piece, std::string&) {
            written += piece.size();
            return true;
        });
        if (!done)
            state.SkipWithError(writer.GetError().c_str());
    }
    benchmark::DoNotOptimize(written);
    SetMobBytesPerSecond(state);
}
BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond)->UseRealTime();

// From the JSON file to the MOB bytes in memory.
void BM_Pack(benchmark::State& state)
{
    const std::string& json = JsonPath();
    for (auto _ : state) {
        CPackReader reader;
        if (!reader.ReadFile(json))
            state.SkipWithError(reader.GetError().c_str());
        benchmark::DoNotOptimize(reader.Bytes().data());
    }
    SetMobBytesPerSecond(state);
}
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond)->UseRealTime();

// In a process of its own, so that its peak is its own: pack the document
// and print the peak resident memory over the document's size.
int PackMemoryProbe(const char* json)
{
    CPackReader reader;
    if (!reader.ReadFile(json))
        return 1;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::string text;
    std::string error;
    if (!platform::ReadWholeFile(json, text, error))
        return 1;
    std::printf("%f\n", static_cast<double>(usage.ru_maxrss) * 1024.0 / static_cast<double>(text.size()));
    return 0;
}

void BM_PackMemory(benchmark::State& state)
{
    const std::string& json = JsonPath();
    double ratio = 0;
    for (auto _ : state) {
        char self[4096] = {};
        if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
            state.SkipWithError("cannot find this program");
        const std::string command = std::string("'") + self + "' " + kPackMemoryProbe + " '" + json + "'";
        FILE* probe = ::popen(command.c_str(), "r");
        if (!probe || std::fscanf(probe, "%lf", &ratio) != 1)
            state.SkipWithError("memory probe failed");
        if (probe)
            ::pclose(probe);
    }
    state.counters["peak_over_json"] = ratio;
}
BENCHMARK(BM_PackMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// mobtool diff as the user runs it: both files loaded, then compared.
void BM_Diff(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    const std::string& changed = ChangedPath();
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        CMobTool tool(out, err);
        if (tool.Run({"--desc", file.descPath, "diff", file.mobPath, changed}) != 1)
            state.SkipWithError(("diff found no difference: " + err.str()).c_str());
    }
}
BENCHMARK(BM_Diff)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of diff: a load of both files.
void BM_LoadBoth(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    const std::string& changed = ChangedPath();
    for (auto _ : state) {
        CMobDocument doc;
        Load(doc, file.mobPath);
        if (!doc.LoadMobFile(changed))
            state.SkipWithError(doc.GetIoError().c_str());
    }
}
BENCHMARK(BM_LoadBoth)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    if (argc == 3 && std::string(argv[1]) == qm::bench::kPackMemoryProbe)
        return qm::bench::PackMemoryProbe(argv[2]);
    return qm::bench::RunWithSummary(
        argc, argv, "unpack",
        {
            Figure::Counter("unpack, 1M chunks (MB/s of MOB)", "BM_Unpack", "mob_MB_per_s", 100, true),
            Figure::Counter("pack, 1M chunks (MB/s of MOB)", "BM_Pack", "mob_MB_per_s", 100, true),
            Figure::Counter("memory while packing (x JSON size)", "BM_PackMemory", "peak_over_json", 3),
            Figure::Ratio("diff of two 1M files, 10 chunks apart", "BM_Diff", "BM_LoadBoth", 3),
        });
}
