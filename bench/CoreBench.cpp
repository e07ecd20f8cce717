// Load, save, unload and memory of the document core on a synthetic file of
// about a million chunks, each figure next to its floor: the least work
// that any program must do for the same result on this machine, measured in
// the same run, so that the ratios hold on a noisy machine.

#include "BenchFile.h"
#include "BenchSummary.h"
#include "LoadFloor.h"

#include "mob/CMobDocument.h"
#include "mob/CTreeSearch.h"
#include "platform/FileSystem.h"
#include "platform/LittleEndian.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qm::bench {
namespace {

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::string text;
    std::string error;
    if (!platform::ReadWholeFile(path, text, error))
        throw std::runtime_error(error);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

void UseDescriptions(CMobDocument& doc)
{
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile())
        throw std::runtime_error(doc.GetError());
}

void BM_LoadFloor(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    const auto containers = SyntheticContainerIds();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadFloor(file.mobPath, containers));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.bytes));
}
BENCHMARK(BM_LoadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Load(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    CMobDocument doc;
    UseDescriptions(doc);
    for (auto _ : state) {
        if (!doc.LoadMobFile(file.mobPath))
            state.SkipWithError(doc.GetIoError().c_str());
        state.PauseTiming();
        doc.UnloadAll();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.bytes));
}
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Unload(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    CMobDocument doc;
    UseDescriptions(doc);
    for (auto _ : state) {
        state.PauseTiming();
        doc.LoadMobFile(file.mobPath);
        state.ResumeTiming();
        doc.UnloadAll();
    }
}
BENCHMARK(BM_Unload)->Unit(benchmark::kMillisecond)->UseRealTime();

// Find Next from the file node through every node of the file, with a text
// no label begins with.
void BM_FindNoMatch(benchmark::State& state)
{
    CMobDocument doc;
    UseDescriptions(doc);
    doc.LoadMobFile(BenchFile::Get().mobPath);
    const CTreeSearch search(doc.Tree(), "NO LABEL BEGINS LIKE THIS");
    for (auto _ : state) {
        bool skipCurrent = true;
        if (search.FindInSubtree(doc.Tree().GetRootItem(), skipCurrent) != kNoNode)
            state.SkipWithError("found something");
    }
}
BENCHMARK(BM_FindNoMatch)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of saving: copy all bytes once into a new buffer, and write
// them as durably as a save does (a new file, flushed, renamed over).
void SaveFloorOnce(const std::vector<std::uint8_t>& bytes, const std::string& path)
{
    const auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(bytes.size());
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    const std::string temp = path + ".floor";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, copy.get() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::fsync(fd);
    ::close(fd);
    ::rename(temp.c_str(), path.c_str());
}

void SaveBenchmarks(benchmark::State& state, const std::string& source, bool floor)
{
    const BenchFile& file = BenchFile::Get();
    const std::string target = file.folder + "/saved.mob";
    CMobDocument doc;
    UseDescriptions(doc);
    if (!doc.LoadMobFile(source))
        state.SkipWithError(doc.GetIoError().c_str());
    const auto bytes = ReadAll(source);
    for (auto _ : state) {
        if (floor)
            SaveFloorOnce(bytes, target);
        else if (!doc.SaveMobFile(target))
            state.SkipWithError(doc.GetIoError().c_str());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void BM_SaveFloor(benchmark::State& state) { SaveBenchmarks(state, BenchFile::Get().mobPath, true); }
void BM_Save(benchmark::State& state) { SaveBenchmarks(state, BenchFile::Get().mobPath, false); }
BENCHMARK(BM_SaveFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime();

// Two files of the same chunk count and the same bytes, all headers: in one
// every chunk is a container holding the next, in the other the chunks lie
// side by side. Saving must cost the same whatever the nesting.
std::size_t HeaderFileBytes()
{
    return BenchFile::Get().chunks * 8 + 8;
}

std::string WriteHeaderFile(const char* name, bool nested)
{
    const BenchFile& file = BenchFile::Get();
    std::vector<std::uint8_t> bytes(HeaderFileBytes());
    for (std::size_t i = 0; i <= file.chunks; ++i) {
        const bool container = nested && i < file.chunks;
        le::WriteU32(bytes.data() + 8 * i, container ? 0x00010000 : 0x00020003);
        le::WriteU32(bytes.data() + 8 * i + 4, container ? static_cast<std::uint32_t>(bytes.size() - 8 * i) : 8);
    }
    const std::string path = file.folder + "/" + name;
    std::string error;
    platform::WriteFileSafely(path, bytes.data(), bytes.size(), error);
    return path;
}

void BM_SaveDeep(benchmark::State& state)
{
    static const std::string deep = WriteHeaderFile("deep.mob", true);
    SaveBenchmarks(state, deep, false);
}
void BM_SaveSideBySide(benchmark::State& state)
{
    static const std::string flat = WriteHeaderFile("side-by-side.mob", false);
    SaveBenchmarks(state, flat, false);
}
BENCHMARK(BM_SaveDeep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveSideBySide)->Unit(benchmark::kMillisecond)->UseRealTime();

std::uint64_t ResidentBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<std::uint64_t>(resident) * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

constexpr const char* kMemoryProbe = "--memory-probe";

// In a fresh process (nothing freed earlier can be reused unseen): load the
// file and print the resident bytes it added beyond its payloads, per chunk.
int MemoryProbe(const char* mobPath, const char* descPath)
{
    CMobDocument doc;
    doc.SetDescFile(descPath);
    if (!doc.ReadDescFile())
        return 1;
    const std::uint64_t before = ResidentBytes();
    if (!doc.LoadMobFile(mobPath))
        return 1;
    const std::uint64_t after = ResidentBytes();
    std::uint64_t payload = 0;
    const CChunkTree& tree = doc.Tree();
    for (NodeId node = 1; node <= tree.GetCount(); ++node) {
        if (!tree.ItemHasChildren(node))
            payload += doc.Chunks().Lookup(tree.GetItemData(node))->m_nSize;
    }
    const double perChunk = (static_cast<double>(after) - static_cast<double>(before) - static_cast<double>(payload)) /
                            static_cast<double>(tree.GetCount());
    std::printf("%f\n", perChunk);
    return 0;
}

void BM_MemoryPerChunk(benchmark::State& state)
{
    const BenchFile& file = BenchFile::Get();
    double perChunk = 0;
    for (auto _ : state) {
        char self[4096] = {};
        if (::readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
            state.SkipWithError("cannot find this program");
        std::string command = "'";
        command.append(self).append("' ").append(kMemoryProbe);
        command.append(" '").append(file.mobPath).append("' '").append(file.descPath).append("'");
        FILE* probe = ::popen(command.c_str(), "r");
        if (!probe || std::fscanf(probe, "%lf", &perChunk) != 1)
            state.SkipWithError("memory probe failed");
        if (probe)
            ::pclose(probe);
    }
    state.counters["bytes_per_chunk"] = perChunk;
}
BENCHMARK(BM_MemoryPerChunk)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    if (argc == 4 && std::string(argv[1]) == qm::bench::kMemoryProbe)
        return qm::bench::MemoryProbe(argv[2], argv[3]);
    return qm::bench::RunWithSummary(
        argc, argv, "core",
        {
            Figure::Ratio("load, 1M chunks", "BM_Load", "BM_LoadFloor", 1.5),
            Figure::Counter("memory beyond payloads (bytes/chunk)", "BM_MemoryPerChunk", "bytes_per_chunk", 48),
            Figure::Ratio("save, 1M chunks", "BM_Save", "BM_SaveFloor", 1.5),
            Figure::Ratio("save, 1M nested vs side by side", "BM_SaveDeep", "BM_SaveSideBySide", 1.5),
            Figure::Time("find through 1M nodes, no match", "BM_FindNoMatch", 50),
            Figure::TimePerUnit("unload, per chunk", "BM_Unload",
                                [] { return static_cast<double>(qm::bench::BenchFile::Get().chunks); }, 20),
        });
}
