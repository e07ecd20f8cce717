// The edit history: undo and redo of one Apply on payloads of 4 KiB and
// 16 MiB, beside a single copy of the payload (a step that copied what it
// did not change could not beat that floor); 10,000 Applies and their
// undos on the million-chunk file, beside the parser alone; and the memory
// a step keeps beyond the bytes it changed.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "edit/CEditSession.h"
#include "mob/CMobDocument.h"
#include "platform/LittleEndian.h"
#include "tools/ChunkBuilder.h"
#include "tools/TempDir.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::bench {
namespace {

constexpr std::uint32_t kStringId = 0x00000A05;
constexpr std::uint32_t kDiplomacyId = 0x00000A11;
constexpr std::uint32_t kDwordId = 0x00000A03;
constexpr NodeId kFirstChunk = 2;
constexpr std::size_t kSteps = 10000;
// The steps the last run of 10,000 Applies made, for the figure per undo.
double g_stepsMade = kSteps;

// A folder with a description file for the ids above and one file per
// benchmark, each loaded into a document of its own.
class EditBenchFiles {
public:
    static EditBenchFiles& Get()
    {
        static EditBenchFiles files;
        return files;
    }

    void Load(CMobDocument& doc, const tools::ChunkBuilder& chunks)
    {
        const std::string path = m_dir.File("file" + std::to_string(++m_nFiles) + ".mob");
        tools::WriteFileBytes(path, chunks.Bytes());
        doc.SetDescFile(m_dir.File("mob_desc.txt"));
        if (!doc.ReadDescFile() || !doc.LoadMobFile(path))
            throw std::runtime_error("cannot load " + path);
    }

private:
    EditBenchFiles()
    {
        tools::WriteFileText(m_dir.File("mob_desc.txt"), "0x00000A05\tSTRING\tTEXT\r\n"
                                                         "0x00000A11\tDIPLOMACY\tTABLE\r\n"
                                                         "0x00000A03\tDWORD\tCOUNT\r\n");
    }

    tools::TempDir m_dir;
    int m_nFiles = 0;
};

std::string Letters(std::size_t size, char first)
{
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>(first + static_cast<char>(i % 26));
    return text;
}

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// One Apply of a new text to a STRING of the given size; each iteration
// undoes it and does it again.
void BM_UndoRedoString(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    CMobDocument doc;
    EditBenchFiles::Get().Load(doc, tools::ChunkBuilder().Chunk(kStringId, Letters(size, 'a')));
    CEditSession session(doc);
    const std::string text = Letters(size, 'A');
    const std::size_t heapBefore = HeapInUse();
    if (session.ApplyText(kFirstChunk, text).status != EditResult::Status::Done)
        state.SkipWithError("the apply changed nothing");
    // The new payload is the only new memory: the step holds the old one.
    const double copies = (static_cast<double>(HeapInUse() - heapBefore) - static_cast<double>(size)) /
                          static_cast<double>(size);
    for (auto _ : state) {
        session.Undo();
        session.Redo();
    }
    state.counters["extra_payload_copies"] = copies;
}
BENCHMARK(BM_UndoRedoString)->Arg(4 << 10)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

// One Apply that changes every value of a DIPLOMACY table in place.
void BM_UndoRedoDiplomacy(benchmark::State& state)
{
    CMobDocument doc;
    EditBenchFiles::Get().Load(doc, tools::ChunkBuilder().Chunk(kDiplomacyId, std::vector<std::uint8_t>(4096, 1)));
    CEditSession session(doc);
    std::vector<std::uint8_t> changed(4096);
    for (std::size_t i = 0; i < changed.size(); i += 4)
        le::WriteI32(changed.data() + i, static_cast<std::int32_t>(i));
    if (session.ApplyText(kFirstChunk, FormatChunkData(DT_DIPLOMACY, changed.data(), 4096)).status !=
        EditResult::Status::Done)
        state.SkipWithError("the apply changed nothing");
    for (auto _ : state) {
        session.Undo();
        session.Redo();
    }
}
BENCHMARK(BM_UndoRedoDiplomacy)->Unit(benchmark::kMicrosecond);

// The floor of a step that would copy its payload: one copy of it.
void BM_CopyFloor(benchmark::State& state)
{
    const auto size = static_cast<std::size_t>(state.range(0));
    const std::vector<std::uint8_t> from(size, 1);
    std::vector<std::uint8_t> to(size);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), size);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyFloor)->Arg(4 << 10)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

// The leaves of the million-chunk file whose type takes a number, a
// string or a short list, with a text for each that changes it.
struct Edit {
    NodeId node;
    std::string text;
};

std::vector<Edit> EditsOf(const CMobDocument& doc, std::size_t count)
{
    std::vector<Edit> edits;
    const CChunkTree& tree = doc.Tree();
    for (NodeId node = 1; node <= tree.GetCount() && edits.size() < count; ++node) {
        const CMobChunk* rec = doc.Chunks().Lookup(tree.GetItemData(node));
        if (!rec || tree.ItemHasChildren(node) || tree.GetParentItem(node) == kNoNode)
            continue;
        const std::string n = std::to_string(100000 + edits.size());
        switch (rec->m_nDataType) {
        case DT_BYTE:
        case DT_WORD:
        case DT_DWORD:
        case DT_FLOAT:
            edits.push_back({node, n});
            break;
        case DT_STRING:
        case DT_SCRIPT:
            edits.push_back({node, "edited " + n});
            break;
        case DT_RECT:
            edits.push_back({node, n + ",1,2,3"});
            break;
        case DT_PLOT:
        case DT_BINARY:
            edits.push_back({node, n + ",1,2"});
            break;
        default:
            break;
        }
    }
    return edits;
}

// 10,000 Applies followed by their 10,000 undos, each half timed on its own.
void ApplyThenUndo(benchmark::State& state, bool timeApplies)
{
    CMobDocument doc;
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile() || !doc.LoadMobFile(BenchFile::Get().mobPath))
        state.SkipWithError("cannot load the benchmark file");
    const std::vector<Edit> edits = EditsOf(doc, kSteps);
    CEditSession session(doc);
    std::size_t steps = 0;
    for (auto _ : state) {
        if (!timeApplies)
            state.PauseTiming();
        for (const Edit& edit : edits)
            session.ApplyText(edit.node, edit.text);
        steps = session.History().UndoCount();
        if (timeApplies)
            state.PauseTiming();
        else
            state.ResumeTiming();
        while (session.Undo()) {
        }
        if (timeApplies)
            state.ResumeTiming();
    }
    // A text may happen to give the bytes already there, which makes no step.
    state.counters["steps"] = static_cast<double>(steps);
    g_stepsMade = static_cast<double>(steps);
}

void BM_Apply10k(benchmark::State& state) { ApplyThenUndo(state, true); }
void BM_Undo10k(benchmark::State& state) { ApplyThenUndo(state, false); }
BENCHMARK(BM_Apply10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo10k)->Unit(benchmark::kMillisecond);

// The floor: the same texts parsed straight into the records, as an edit
// was made before there was a history to undo it with. A document of its
// own, so that the one above stays as loaded.
void BM_ParseFloor10k(benchmark::State& state)
{
    CMobDocument doc;
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile() || !doc.LoadMobFile(BenchFile::Get().mobPath))
        state.SkipWithError("cannot load the benchmark file");
    const std::vector<Edit> edits = EditsOf(doc, kSteps);
    for (auto _ : state) {
        for (const Edit& edit : edits)
            benchmark::DoNotOptimize(ParseChunkData(*doc.Chunks().Lookup(doc.Tree().GetItemData(edit.node)), edit.text));
    }
}
BENCHMARK(BM_ParseFloor10k)->Unit(benchmark::kMillisecond);

// Memory a step keeps beyond the bytes it changed: heap growth over 10,000
// steps. In place, each step changes a DWORD; replaced, each step trades a
// 100-byte string for another, keeping the old payload (the second round,
// once the loaded payloads were already replaced by owned ones).
void BM_MemoryPerStep(benchmark::State& state)
{
    double patchOverhead = 0;
    double swapOverhead = 0;
    for (auto _ : state) {
        tools::ChunkBuilder chunks;
        for (std::size_t i = 0; i < kSteps; ++i)
            chunks.Chunk(kDwordId, {0xAA, 0xAA, 0xAA, 0xAA}).Chunk(kStringId, Letters(100, 'a'));
        CMobDocument doc;
        EditBenchFiles::Get().Load(doc, chunks);
        CEditSession session(doc);

        std::size_t before = HeapInUse();
        std::size_t changed = 0;
        for (std::size_t i = 0; i < kSteps; ++i) {
            session.ApplyText(kFirstChunk + 2 * static_cast<NodeId>(i), "0");
            changed += 4;
        }
        patchOverhead = (static_cast<double>(HeapInUse() - before) - static_cast<double>(changed)) / kSteps;

        for (std::size_t i = 0; i < kSteps; ++i)
            session.ApplyText(kFirstChunk + 1 + 2 * static_cast<NodeId>(i), Letters(100, 'b'));
        before = HeapInUse();
        for (std::size_t i = 0; i < kSteps; ++i)
            session.ApplyText(kFirstChunk + 1 + 2 * static_cast<NodeId>(i), Letters(100, 'c'));
        // Growth is the new payloads, which the document holds, and the
        // steps; the old payloads moved to the steps and are the changed bytes.
        swapOverhead = (static_cast<double>(HeapInUse() - before) - 100.0 * kSteps) / kSteps;
    }
    state.counters["patch_bytes_beyond_changed"] = patchOverhead;
    state.counters["swap_bytes_beyond_changed"] = swapOverhead;
}
BENCHMARK(BM_MemoryPerStep)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    constexpr double kMillisecond = 1e6;
    return qm::bench::RunWithSummary(
        argc, argv, "edit",
        {
            Figure::TimePerUnit("undo or redo, 4 KiB string", "BM_UndoRedoString/4096", [] { return 2.0; },
                                kMillisecond),
            Figure::TimePerUnit("undo or redo, 4 KiB table in place", "BM_UndoRedoDiplomacy", [] { return 2.0; },
                                kMillisecond),
            Figure::TimePerUnit("undo or redo, 16 MiB string", "BM_UndoRedoString/16777216", [] { return 2.0; },
                                kMillisecond),
            Figure::Ratio("undo+redo vs one copy, 4 KiB", "BM_UndoRedoString/4096", "BM_CopyFloor/4096", 1),
            Figure::Ratio("undo+redo vs one copy, 16 MiB", "BM_UndoRedoString/16777216", "BM_CopyFloor/16777216",
                          0.01),
            Figure::Counter("payload copies an Apply keeps, 16 MiB", "BM_UndoRedoString/16777216",
                            "extra_payload_copies", 0.01),
            Figure::Ratio("10,000 applies vs bare parsing", "BM_Apply10k", "BM_ParseFloor10k", 3),
            Figure::TimePerUnit("then 10,000 undos, per undo", "BM_Undo10k", [] { return qm::bench::g_stepsMade; },
                                kMillisecond),
            Figure::Counter("bytes kept beyond changed, in place", "BM_MemoryPerStep", "patch_bytes_beyond_changed",
                            64),
            Figure::Counter("bytes kept beyond changed, replaced", "BM_MemoryPerStep", "swap_bytes_beyond_changed",
                            64),
        });
}
