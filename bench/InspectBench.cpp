// The inspector's core: the first screen of a 64 MiB payload in the hex
// view (its bytes, the visible rows, the readings at the cursor and the
// text of every type the payload fits), a cursor move, and `mobtool guess`
// on the synthetic file of a million chunks with an empty description file,
// against loading the same file. A container's bytes are those saving
// writes, so its first screen is held against serialising it.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "cli/CMobTool.h"
#include "inspect/CDataInspector.h"
#include "inspect/CHexLayout.h"
#include "inspect/CPayloadBytes.h"
#include "inspect/CTypeGuesser.h"
#include "inspect/CTypePreview.h"
#include "mob/CMobDocument.h"
#include "tools/ChunkBuilder.h"
#include "tools/TempDir.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>

namespace qm::bench {
namespace {

constexpr std::size_t kPayloadBytes = std::size_t{64} << 20;
constexpr std::size_t kScreenRows = 48;
constexpr std::uint32_t kLeafId = 0xBEEF;
constexpr std::uint32_t kContainerId = 0x1000;
constexpr std::uint32_t kChildId = 0x2005;

const std::string& EmptyDescPath()
{
    static const std::string path = [] {
        const std::string made = BenchFile::Get().folder + "/empty_desc.txt";
        tools::WriteFileText(made, "");
        return made;
    }();
    return path;
}

// One file with two chunks of 64 MiB: an undescribed leaf of random bytes
// and a container whose children (short names) are rebuilt into its bytes.
struct BigFile {
    CMobDocument doc;
    NodeId leaf = kNoNode;
    NodeId container = kNoNode;

    BigFile()
    {
        std::mt19937_64 random(7);
        std::vector<std::uint8_t> leafBytes(kPayloadBytes);
        for (auto& byte : leafBytes)
            byte = static_cast<std::uint8_t>(random());
        tools::ChunkBuilder builder;
        builder.Chunk(kLeafId, leafBytes).Begin(kContainerId);
        for (std::size_t made = 0; made + 24 <= kPayloadBytes; made += 24)
            builder.Chunk(kChildId, "Belfen Kasmor ar");
        builder.End();
        const std::string folder = BenchFile::Get().folder;
        tools::WriteFileText(folder + "/big_desc.txt", "0x00001000\tREC\tGROUP\r\n0x00002005\tSTRING\tNAME\r\n");
        tools::WriteFileBytes(folder + "/big.mob", builder.Bytes());
        doc.SetDescFile(folder + "/big_desc.txt");
        if (!doc.ReadDescFile() || !doc.LoadMobFile(folder + "/big.mob"))
            throw std::runtime_error("cannot load the 64 MiB file");
        leaf = doc.Tree().GetChildItem(doc.Tree().GetRootItem());
        container = doc.Tree().GetNextSiblingItem(leaf);
    }

    static BigFile& Get()
    {
        static BigFile file;
        return file;
    }
};

std::size_t FirstScreen(CMobDocument& doc, NodeId node)
{
    const CPayloadBytes payload = CPayloadBytes::Of(doc, node);
    const CHexLayout layout(payload.Bytes());
    std::size_t shown = 0;
    for (std::size_t row = 0; row < std::min(kScreenRows, layout.RowCount()); ++row) {
        shown += CHexLayout::OffsetText(row).size();
        shown += layout.HexText(row).size();
        shown += layout.CharText(row, CHexLayout::AsciiTable()).size();
    }
    for (const auto& line : CDataInspector::Lines(CDataInspector::Read(payload.Bytes(), 0)))
        shown += line.value.size();
    for (const TypePreview& preview : CTypePreview::ForPayload(payload.Bytes()))
        shown += preview.text.size();
    return shown;
}

void BM_FirstScreenLeaf(benchmark::State& state)
{
    BigFile& file = BigFile::Get();
    for (auto _ : state)
        benchmark::DoNotOptimize(FirstScreen(file.doc, file.leaf));
}
BENCHMARK(BM_FirstScreenLeaf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FirstScreenContainer(benchmark::State& state)
{
    BigFile& file = BigFile::Get();
    for (auto _ : state)
        benchmark::DoNotOptimize(FirstScreen(file.doc, file.container));
}
BENCHMARK(BM_FirstScreenContainer)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a container's first screen: its bytes as saving writes them.
void BM_SerialiseContainer(benchmark::State& state)
{
    BigFile& file = BigFile::Get();
    for (auto _ : state) {
        std::vector<std::uint8_t> bytes;
        file.doc.WriteChunks(file.doc.Tree().GetChildItem(file.container), bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_SerialiseContainer)->Unit(benchmark::kMillisecond)->UseRealTime();

// A cursor move: the readings at the new place, and the row it lies in.
void BM_CursorMove(benchmark::State& state)
{
    BigFile& file = BigFile::Get();
    const CPayloadBytes payload = CPayloadBytes::Of(file.doc, file.leaf);
    const CHexLayout layout(payload.Bytes());
    std::mt19937_64 random(3);
    for (auto _ : state) {
        const std::size_t offset = random() % payload.Bytes().size();
        benchmark::DoNotOptimize(CDataInspector::Lines(CDataInspector::Read(payload.Bytes(), offset)));
        benchmark::DoNotOptimize(layout.HexText(CHexLayout::RowOf(offset)));
    }
}
BENCHMARK(BM_CursorMove)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_LoadWithoutDescriptions(benchmark::State& state)
{
    CMobDocument doc;
    doc.SetDescFile(EmptyDescPath());
    doc.ReadDescFile();
    // The first load after the file was written pays for the page cache.
    doc.LoadMobFile(BenchFile::Get().mobPath);
    doc.UnloadAll();
    for (auto _ : state) {
        if (!doc.LoadMobFile(BenchFile::Get().mobPath))
            state.SkipWithError(doc.GetIoError().c_str());
        state.PauseTiming();
        doc.UnloadAll();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadWithoutDescriptions)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole command as a user runs it: read the descriptions, load, guess, print.
void BM_MobtoolGuess(benchmark::State& state)
{
    std::size_t lines = 0;
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        auto tool = std::make_unique<CMobTool>(out, err);
        if (tool->Run({"--desc", EmptyDescPath(), "guess", BenchFile::Get().mobPath}) != CMobTool::kExitOk)
            state.SkipWithError(err.str().c_str());
        // Freeing the document is left out, as it is from the load it is held against.
        state.PauseTiming();
        tool.reset();
        const std::string text = out.str();
        lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        state.ResumeTiming();
    }
    state.counters["ids"] = static_cast<double>(lines);
}
BENCHMARK(BM_MobtoolGuess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GuessLoaded(benchmark::State& state)
{
    CMobDocument doc;
    doc.SetDescFile(EmptyDescPath());
    doc.ReadDescFile();
    doc.LoadMobFile(BenchFile::Get().mobPath);
    for (auto _ : state)
        benchmark::DoNotOptimize(CTypeGuesser::GuessAll(doc));
}
BENCHMARK(BM_GuessLoaded)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    return qm::bench::RunWithSummary(
        argc, argv, "inspect",
        {
            Figure::Time("first screen of a 64 MiB payload", "BM_FirstScreenLeaf", 50),
            Figure::Ratio("first screen of a 64 MiB container vs its save", "BM_FirstScreenContainer",
                          "BM_SerialiseContainer", 1.2),
            Figure::Time("cursor move in a 64 MiB payload", "BM_CursorMove", 1),
            Figure::Ratio("mobtool guess vs load, 1M chunks", "BM_MobtoolGuess", "BM_LoadWithoutDescriptions", 2),
        });
}
