// Changes of structure on the million-chunk file, each beside a floor: a
// delete and its undo of a 100,000-chunk subtree beside one walk over that
// subtree; 10,000 inserts one by one, and their undos, beside the same
// inserts into a file of a few chunks (the cost must not grow with the
// file); a move among siblings beside one walk over the siblings.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "desc/DataType.h"
#include "edit/CChunkMove.h"
#include "edit/CEditSession.h"
#include "mob/CMobDocument.h"
#include "tools/ChunkBuilder.h"
#include "tools/TempDir.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace qm::bench {
namespace {

// Ids of the synthetic file's description table.
constexpr std::uint32_t kGroupId = 0x00010000;
constexpr std::uint32_t kListId = 0x00010001;
constexpr std::uint32_t kCountId = 0x00020003;
constexpr std::size_t kInserts = 10000;
constexpr std::size_t kSiblings = 10000;

void LoadBenchFile(CMobDocument& doc)
{
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile() || !doc.LoadMobFile(BenchFile::Get().mobPath))
        throw std::runtime_error("cannot load the benchmark file");
}

// A group of 1,000 lists of 99 counts each: 100,001 chunks.
std::vector<std::uint8_t> Subtree()
{
    tools::ChunkBuilder b;
    b.Begin(kGroupId);
    for (int list = 0; list < 1000; ++list) {
        b.Begin(kListId);
        for (int count = 0; count < 99; ++count)
            b.Chunk(kCountId, {1, 2, 3, 4});
        b.End();
    }
    return b.End().Bytes();
}

// A group of 10,000 counts.
std::vector<std::uint8_t> Siblings()
{
    tools::ChunkBuilder b;
    b.Begin(kGroupId);
    for (std::size_t i = 0; i < kSiblings; ++i)
        b.Chunk(kCountId, {1, 2, 3, 4});
    return b.End().Bytes();
}

// The node made by pasting bytes into the middle of the file's chunks.
NodeId PasteInTheMiddle(CEditSession& session, const std::vector<std::uint8_t>& bytes)
{
    CMobDocument& doc = session.Document();
    const NodeId file = doc.Tree().GetRootItem();
    const EditResult pasted =
        session.Do(CChunkMove::ForImport(doc, file, doc.Tree().GetChildCount(file) / 2, bytes));
    if (pasted.status != EditResult::Status::Done)
        throw std::runtime_error(pasted.error);
    return pasted.node;
}

void BM_DeleteAndUndo100k(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    CEditSession session(doc);
    const NodeId subtree = PasteInTheMiddle(session, Subtree());
    for (auto _ : state) {
        if (session.Do(CChunkMove::ForDelete(doc, subtree)).status != EditResult::Status::Done)
            state.SkipWithError("the delete was refused");
        session.Undo();
    }
    state.counters["siblings"] = static_cast<double>(doc.Tree().GetChildCount(doc.Tree().GetRootItem()));
}
BENCHMARK(BM_DeleteAndUndo100k)->Unit(benchmark::kMillisecond);

// The floor: every node of the subtree and its record visited once.
void BM_WalkSubtreeFloor(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    CEditSession session(doc);
    const NodeId subtree = PasteInTheMiddle(session, Subtree());
    const CChunkTree& tree = doc.Tree();
    for (auto _ : state) {
        std::uint64_t bytes = 0;
        for (NodeId node = subtree; node != kNoNode; node = tree.NextInPreOrder(node, tree.GetParentItem(subtree)))
            bytes += doc.Chunks().Lookup(tree.GetItemData(node))->m_nSize;
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_WalkSubtreeFloor)->Unit(benchmark::kMillisecond);

// 10,000 chunks inserted one by one at the front of the first container,
// then undone; either half timed on its own.
void InsertThenUndo(benchmark::State& state, CMobDocument& doc, bool timeInserts)
{
    CEditSession session(doc);
    NodeId container = doc.Tree().GetRootItem();
    while (container != kNoNode && doc.Chunks().Lookup(doc.Tree().GetItemData(container))->m_nDataType != DT_REC)
        container = doc.Tree().NextInPreOrder(container, kNoNode);
    const std::vector<std::uint8_t> payload{1, 2, 3, 4};
    for (auto _ : state) {
        if (!timeInserts)
            state.PauseTiming();
        for (std::size_t i = 0; i < kInserts; ++i)
            session.Do(CChunkMove::ForInsert(doc, container, 0, kCountId, payload));
        if (timeInserts)
            state.PauseTiming();
        else
            state.ResumeTiming();
        while (session.Undo()) {
        }
        if (timeInserts)
            state.ResumeTiming();
    }
}

void BM_Insert10k(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    InsertThenUndo(state, doc, true);
}
void BM_UndoInsert10k(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    InsertThenUndo(state, doc, false);
}
BENCHMARK(BM_Insert10k)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoInsert10k)->Unit(benchmark::kMillisecond);

// The floor: the same inserts into a file of one empty group.
void BM_Insert10kSmallFileFloor(benchmark::State& state)
{
    tools::TempDir dir;
    const std::string path = dir.File("small.mob");
    tools::WriteFileBytes(path, tools::ChunkBuilder().Begin(kGroupId).End().Bytes());
    CMobDocument doc;
    doc.SetDescFile(BenchFile::Get().descPath);
    if (!doc.ReadDescFile() || !doc.LoadMobFile(path))
        state.SkipWithError("cannot load the small file");
    InsertThenUndo(state, doc, true);
}
BENCHMARK(BM_Insert10kSmallFileFloor)->Unit(benchmark::kMillisecond);

// A group of 10,000 counts pasted into the file; the last one moves to the
// front and back again.
void BM_MoveAmong10kSiblings(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    CEditSession session(doc);
    const NodeId group = PasteInTheMiddle(session, Siblings());
    const NodeId last = doc.Tree().GetChildAt(group, kSiblings - 1);
    for (auto _ : state) {
        session.Do(CChunkMove::ForMove(doc, last, group, 0));
        session.Do(CChunkMove::ForMove(doc, last, group, kSiblings - 1));
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_MoveAmong10kSiblings)->Unit(benchmark::kMicrosecond);

// The floor: one walk over the siblings.
void BM_WalkSiblingsFloor(benchmark::State& state)
{
    CMobDocument doc;
    LoadBenchFile(doc);
    CEditSession session(doc);
    const NodeId group = PasteInTheMiddle(session, Siblings());
    for (auto _ : state)
        benchmark::DoNotOptimize(doc.Tree().GetChildCount(group));
}
BENCHMARK(BM_WalkSiblingsFloor)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    return qm::bench::RunWithSummary(
        argc, argv, "structure",
        {
            Figure::Ratio("delete + undo, 100,001-chunk subtree", "BM_DeleteAndUndo100k", "BM_WalkSubtreeFloor", 1),
            Figure::Ratio("10,000 inserts, 1M-chunk vs tiny file", "BM_Insert10k", "BM_Insert10kSmallFileFloor",
                          1.5),
            Figure::TimePerUnit("one insert", "BM_Insert10k", [] { return double{qm::bench::kInserts}; }, 20000),
            Figure::TimePerUnit("one undo of an insert", "BM_UndoInsert10k",
                                [] { return double{qm::bench::kInserts}; }, 5000),
            Figure::Ratio("a move to the front and back, 10,000 siblings, vs one walk", "BM_MoveAmong10kSiblings",
                          "BM_WalkSiblingsFloor", 4),
        });
}
