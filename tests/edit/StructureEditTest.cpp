// Changes of structure through to the bytes on disk: each script of steps
// gives files built independently with the chunk builder, its undo gives
// the files as they were, and doing it again the edited files once more.
// Every refusal names its reason and changes nothing.

#include "EditFixture.h"

#include "edit/CChunkMove.h"
#include "edit/DocumentNodes.h"
#include "edit/PreparePayloadText.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace qm::test {
namespace {

using tools::ChunkBuilder;
using tools::U32Bytes;
using Bytes = std::vector<std::uint8_t>;
using Path = std::vector<std::size_t>;

// The node at a path of child indices, the first counting the files.
NodeId At(const CMobDocument& doc, Path path)
{
    const CChunkTree& tree = doc.Tree();
    NodeId node = tree.GetRootItem();
    for (std::size_t i = 0; i < path.front(); ++i)
        node = tree.GetNextSiblingItem(node);
    for (auto it = path.begin() + 1; it != path.end(); ++it)
        node = tree.GetChildAt(node, *it);
    return node;
}

// A step, made against the document as the steps before it left it; cut
// and copy leave their bytes in the clipboard for a later paste.
using Step = std::function<PreparedEdit(CMobDocument&, Bytes& clipboard)>;

Step Cut(Path path)
{
    return [path](CMobDocument& doc, Bytes& clipboard) {
        clipboard.clear();
        EXPECT_TRUE(doc.WriteChunk(At(doc, path), clipboard));
        return CChunkMove::ForDelete(doc, At(doc, path));
    };
}
Step Paste(Path parent, std::size_t index)
{
    return [parent, index](CMobDocument& doc, Bytes& clipboard) {
        return CChunkMove::ForImport(doc, At(doc, parent), index, clipboard);
    };
}
Step Delete(Path path)
{
    return [path](CMobDocument& doc, Bytes&) { return CChunkMove::ForDelete(doc, At(doc, path)); };
}
Step Insert(Path parent, std::size_t index, std::uint32_t id, Bytes payload)
{
    return [=](CMobDocument& doc, Bytes&) { return CChunkMove::ForInsert(doc, At(doc, parent), index, id, payload); };
}
Step Duplicate(Path path)
{
    return [path](CMobDocument& doc, Bytes&) { return CChunkMove::ForDuplicate(doc, At(doc, path)); };
}
Step Move(Path path, Path parent, std::size_t index)
{
    return [=](CMobDocument& doc, Bytes&) { return CChunkMove::ForMove(doc, At(doc, path), At(doc, parent), index); };
}

struct Script {
    const char* name;
    std::vector<Bytes> files;
    std::vector<Step> steps;
    std::vector<Bytes> expected;
};

void PrintTo(const Script& script, std::ostream* out)
{
    *out << script.name;
}

// Group and Inner are containers.
const std::vector<Script>& Scripts()
{
    const Bytes eee{0xEE, 0xEE, 0xEE};
    static const std::vector<Script> scripts = {
        {"DeleteTheFirstChildOfANestedContainer",
         {ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdByte, {1}).Chunk(kIdDword, U32Bytes({2})).End()
              .Chunk(kIdString, "x").End().Bytes()},
         {Delete({0, 0, 0, 0})},
         {ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdDword, U32Bytes({2})).End()
              .Chunk(kIdString, "x").End().Bytes()}},
        {"DeleteTheLastChildLeavesAnEmptyContainer",
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).End().Chunk(kIdDword, U32Bytes({5})).Bytes()},
         {Delete({0, 0, 0})},
         {ChunkBuilder().Begin(kIdRec).End().Chunk(kIdDword, U32Bytes({5})).Bytes()}},
        {"InsertIntoAnEmptyContainerAndAtTheEndOfAFile",
         {ChunkBuilder().Begin(kIdRec).End().Chunk(kIdByte, {1}).Bytes()},
         {Insert({0, 0}, 0, kIdDword, U32Bytes({7})), Insert({0}, 2, kIdUnknown, {})},
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdDword, U32Bytes({7})).End().Chunk(kIdByte, {1}).Chunk(kIdUnknown, Bytes{})
              .Bytes()}},
        {"DuplicateAContainerRightAfterIt",
         {ChunkBuilder().Chunk(kIdByte, {1}).Begin(kIdRec).Chunk(kIdDword, U32Bytes({2})).Begin(kIdRec).End().End()
              .Chunk(kIdString, "z").Bytes()},
         {Duplicate({0, 1})},
         {ChunkBuilder().Chunk(kIdByte, {1}).Begin(kIdRec).Chunk(kIdDword, U32Bytes({2})).Begin(kIdRec).End().End()
              .Begin(kIdRec).Chunk(kIdDword, U32Bytes({2})).Begin(kIdRec).End().End().Chunk(kIdString, "z").Bytes()}},
        {"MoveTheFirstChunkToTheEndAndBack",
         {ChunkBuilder().Chunk(kIdByte, {1}).Chunk(kIdDword, U32Bytes({2})).Chunk(kIdString, "s").Bytes()},
         {Move({0, 0}, {0}, 2), Move({0, 2}, {0}, 1)},
         {ChunkBuilder().Chunk(kIdDword, U32Bytes({2})).Chunk(kIdByte, {1}).Chunk(kIdString, "s").Bytes()}},
        {"MoveFromOneNestedContainerIntoAnother",
         {ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdByte, {1}).End().Begin(kIdRec)
              .Chunk(kIdDword, U32Bytes({3})).End().End().Bytes()},
         {Move({0, 0, 0, 0}, {0, 0, 1}, 1)},
         {ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).End().Begin(kIdRec).Chunk(kIdDword, U32Bytes({3}))
              .Chunk(kIdByte, {1}).End().End().Bytes()}},
        {"CutAndPasteIntoAnotherFile",
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).Begin(kIdRecInner).Chunk(kIdString, "c").End().End().Bytes(),
          ChunkBuilder().Chunk(kIdDword, U32Bytes({9})).Bytes()},
         {Cut({0, 0, 1}), Paste({1}, 0)},
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).End().Bytes(),
          ChunkBuilder().Begin(kIdRecInner).Chunk(kIdString, "c").End().Chunk(kIdDword, U32Bytes({9})).Bytes()}},
        {"BytesAfterTheLastChildStayLast",
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).Raw(eee).End().Bytes()},
         {Insert({0, 0}, 1, kIdDword, U32Bytes({4}))},
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).Chunk(kIdDword, U32Bytes({4})).Raw(eee).End().Bytes()}},
        {"AContainerEndingInStrayBytesMovesWithThem",
         {ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdByte, {1}).Raw(eee).End().End().Bytes(),
          ChunkBuilder().Begin(kIdRec).End().Bytes()},
         {Move({0, 0, 0}, {1, 0}, 0)},
         {ChunkBuilder().Begin(kIdRec).End().Bytes(),
          ChunkBuilder().Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdByte, {1}).Raw(eee).End().End().Bytes()}},
        {"AContainerWithoutChildrenKeepsTheBytesAfterThem",
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).Raw(eee).End().Bytes()},
         {Delete({0, 0, 0})},
         {ChunkBuilder().Begin(kIdRec).Raw(eee).End().Bytes()}},
        {"PasteIntoAContainerThatHeldBytesOnly",
         {ChunkBuilder().Chunk(kIdByte, {7}).Begin(kIdRec).Raw({1, 2, 3}).End().Bytes()},
         {Cut({0, 0}), Paste({0, 0}, 0)},
         {ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {7}).Raw({1, 2, 3}).End().Bytes()}},
    };
    return scripts;
}

class StructureOnDisk : public EditFixture, public ::testing::WithParamInterface<Script> {
protected:
    // Each file saved through its own node, as read back from disk.
    std::vector<Bytes> Saved()
    {
        std::vector<Bytes> files;
        for (NodeId file = doc.Tree().GetRootItem(); file != kNoNode; file = doc.Tree().GetNextSiblingItem(file)) {
            const std::string path = dir.File("saved" + std::to_string(files.size()) + ".mob");
            EXPECT_TRUE(session.SaveFile(file, path)) << doc.GetIoError();
            files.push_back(tools::ReadFileBytes(path));
        }
        return files;
    }
};

TEST_P(StructureOnDisk, GivesTheBuiltFilesThenTheOriginalsThenTheBuiltFilesAgain)
{
    const Script& script = GetParam();
    for (std::size_t i = 0; i < script.files.size(); ++i)
        Load(script.files[i], "file" + std::to_string(i) + ".mob");
    EXPECT_EQ(Saved(), script.files) << "unedited files save byte for byte";

    Bytes clipboard;
    for (const Step& step : script.steps) {
        const EditResult result = session.Do(step(doc, clipboard));
        ASSERT_EQ(result.status, EditResult::Status::Done) << result.error;
    }
    // Each file is unsaved exactly when its bytes changed, a step between
    // two files marking both.
    for (std::size_t i = 0; i < script.files.size(); ++i)
        EXPECT_EQ(session.History().HasUnsavedChanges(doc, At(doc, {i})), script.files[i] != script.expected[i]) << i;
    EXPECT_EQ(Saved(), script.expected);
    ExpectSizesAndOffsetsAsSaved();
    EXPECT_FALSE(session.HasUnsavedData());

    for (std::size_t i = 0; i < script.steps.size(); ++i)
        ASSERT_NE(session.Undo(), nullptr);
    EXPECT_TRUE(session.HasUnsavedData());
    EXPECT_EQ(Saved(), script.files);
    ExpectSizesAndOffsetsAsSaved();

    for (std::size_t i = 0; i < script.steps.size(); ++i)
        ASSERT_NE(session.Redo(), nullptr);
    EXPECT_EQ(Saved(), script.expected);
    ExpectSizesAndOffsetsAsSaved();
}

INSTANTIATE_TEST_SUITE_P(Scripts, StructureOnDisk, ::testing::ValuesIn(Scripts()),
                         [](const ::testing::TestParamInfo<Script>& script) { return std::string(script.param.name); });

struct Refusal {
    const char* name;
    std::function<PreparedEdit(CMobDocument&)> prepare;
    const char* reason;  // a part of the message
};

// The chunk at 0.0 holds 0.0.0 (a byte) and 0.0.1 (a string); 0.1 is a byte.
Bytes RefusalFile()
{
    return ChunkBuilder().Begin(kIdRec).Chunk(kIdByte, {1}).Chunk(kIdString, "s").End().Chunk(kIdByte, {2}).Bytes();
}

// A container whose record says it is nearly as large as a chunk can be.
NodeId NearlyFull(CMobDocument& doc)
{
    const NodeId container = At(doc, {0, 0});
    RecordOf(doc, container)->m_nSize = CMobDocument::kLargestPayload - 4;
    return container;
}

TEST_F(EditFixture, RefusalsSayWhyAndChangeNothing)
{
    const auto import = [](Bytes bytes) {
        return [bytes](CMobDocument& d) { return CChunkMove::ForImport(d, At(d, {0, 0}), 0, bytes); };
    };
    const std::vector<Refusal> refusals = {
        {"insert below a chunk that is no container",
         [](CMobDocument& d) { return CChunkMove::ForInsert(d, At(d, {0, 1}), 0, kIdByte, {}); },
         "is not a container"},
        {"insert past the end of a list",
         [](CMobDocument& d) { return CChunkMove::ForInsert(d, At(d, {0, 0}), 3, kIdByte, {}); },
         "There is no place 3 in Group: it holds 2 chunks."},
        {"import of bytes too short for a chunk", import({1, 2, 3, 4, 5}), "The last 5 bytes hold no chunk"},
        {"import of a chunk that claims more than there is", import(ChunkBuilder().RawHeader(kIdByte, 12).Bytes()),
         "claims 12 bytes, but its list has only 8 left"},
        {"import of a container whose child runs past its end",
         import(ChunkBuilder().RawHeader(kIdRec, 16).RawHeader(kIdByte, 9).Bytes()), "The chunk at byte 8 claims 9"},
        {"import of a size below the header", import(ChunkBuilder().RawHeader(kIdByte, 4).Bytes()),
         "less than its own 8-byte header"},
        {"import of chunks followed by stray bytes", import(ChunkBuilder().Chunk(kIdByte, {1}).Raw({0}).Bytes()),
         "The last 1 bytes hold no chunk"},
        {"import of nothing", import({}), "empty"},
        {"delete of a file", [](CMobDocument& d) { return CChunkMove::ForDelete(d, At(d, {0})); },
         "A file is not deleted this way"},
        {"move into its own subtree",
         [](CMobDocument& d) { return CChunkMove::ForMove(d, At(d, {0, 0}), At(d, {0, 0}), 0); },
         "cannot go inside itself"},
        {"move into a chunk that is no container",
         [](CMobDocument& d) { return CChunkMove::ForMove(d, At(d, {0, 0, 0}), At(d, {0, 1}), 0); },
         "is not a container"},
        {"move past the end of its list",
         [](CMobDocument& d) { return CChunkMove::ForMove(d, At(d, {0, 1}), At(d, {0}), 2); },
         "There is no place 2"},
        {"insert into a container that would outgrow 4 GiB",
         [](CMobDocument& d) { return CChunkMove::ForInsert(d, NearlyFull(d), 0, kIdByte, {}); },
         "Group would hold 4294967291 bytes, more than a chunk can hold (4294967287)."},
        {"a longer text in a container that would outgrow 4 GiB",
         [](CMobDocument& d) {
             NearlyFull(d);
             return PreparePayloadText(d, At(d, {0, 0, 1}), "a longer string");
         },
         "more than a chunk can hold"},
        {"move into a container that would outgrow 4 GiB",
         [](CMobDocument& d) { return CChunkMove::ForMove(d, At(d, {0, 1}), NearlyFull(d), 0); },
         "more than a chunk can hold"},
    };
    Load(RefusalFile());
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        PreparedEdit edit = refusal.prepare(doc);
        const DocState before = State();
        const EditResult result = session.Do(std::move(edit));
        ASSERT_TRUE(result.Refused());
        EXPECT_NE(result.error.find(refusal.reason), std::string::npos) << result.error;
        EXPECT_EQ(State(), before);
        EXPECT_EQ(session.History().UndoCount(), 0u);
        doc.UnloadAll();
        Load(RefusalFile());
    }
}

// A deleted chunk is not found by its key, cannot be edited, and its key
// is not handed out again.
TEST_F(EditFixture, KeysOfDeletedChunksStayTaken)
{
    Load(RefusalFile());
    const NodeId gone = At(doc, {0, 1});
    ASSERT_EQ(session.Do(CChunkMove::ForDelete(doc, gone)).status, EditResult::Status::Done);
    EXPECT_EQ(NodeOfKey(doc, static_cast<std::int32_t>(gone)), kNoNode);
    EXPECT_TRUE(session.Do(PreparePayloadText(doc, gone, "3")).Refused());
    const EditResult inserted = session.Do(CChunkMove::ForInsert(doc, At(doc, {0}), 0, kIdByte, Bytes{5}));
    EXPECT_GT(doc.Tree().GetItemData(inserted.node), static_cast<std::int32_t>(gone));
}

} // namespace
} // namespace qm::test
