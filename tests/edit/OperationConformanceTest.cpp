// One test that every kind of edit operation must pass: applied, reverted and
// applied again, the document is each time exactly as it should be, down to
// the bytes of the guard chunks around the edited payload, with every size
// and offset what saving writes; nodes a step makes get new keys and keep
// them; and a step of every kind can be dropped by the history's memory
// cap while the newest step stays.

#include "EditFixture.h"

#include "codec/FormatChunkData.h"
#include "desc/IdKey.h"
#include "edit/CChunkMove.h"
#include "edit/CDescriptionEdit.h"
#include "edit/CStepGroup.h"
#include "edit/PreparePayloadText.h"
#include "platform/LittleEndian.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace qm::test {
namespace {

using tools::ChunkBuilder;
using tools::U32Bytes;
using Bytes = std::vector<std::uint8_t>;

Bytes Guard()
{
    return Bytes(32, 0xA5);
}

Bytes Diplomacy()
{
    Bytes payload(4096);
    for (std::uint32_t i = 0; i < 1024; ++i)
        le::WriteI32(payload.data() + 4 * i, static_cast<std::int32_t>(i) - 500);
    return payload;
}

// Node keys of the file below.
enum Key : std::int32_t {
    kDword = 3,
    kDiplomacy = 5,
    kString = 7,
    kShortRect = 9,
    kContainer = 11,
    kInContainer = 12,
    kSecondDword = 14,
    kThirdDword = 15,
    kOtherFile = 17,
    kOtherGroup = 18,
    kOtherName = 19,
};

// The key a test expects of a node that the step made.
constexpr std::int32_t kNew = -1;

// Every payload that is edited lies between guard chunks (ids without a
// description), loaded into the same buffer.
Bytes GuardedFile()
{
    const auto id = [](std::int32_t code) { return 0x3000 + static_cast<std::uint32_t>(code); };
    ChunkBuilder b;
    b.Chunk(kIdUnknown, Guard()).Chunk(id(DT_DWORD), U32Bytes({7})).Chunk(kIdUnknown, Guard());
    b.Chunk(id(DT_DIPLOMACY), Diplomacy()).Chunk(kIdUnknown, Guard());
    b.Chunk(id(DT_STRING), "hello").Chunk(kIdUnknown, Guard());
    b.Chunk(id(DT_RECT), U32Bytes({1, 2})).Chunk(kIdUnknown, Guard());
    b.Begin(id(DT_REC)).Chunk(id(DT_BYTE), {5}).Chunk(kIdUnknown, Guard()).End();
    b.Chunk(id(DT_DWORD), U32Bytes({8})).Chunk(id(DT_DWORD), U32Bytes({9})).Chunk(kIdUnknown, Guard());
    return b.Bytes();
}

// A second file, for steps between files.
Bytes OtherFile()
{
    return ChunkBuilder().Begin(kIdRec).Chunk(kIdString, "two").End().Bytes();
}

struct Kind {
    const char* name;
    // The operation, prepared against the loaded file.
    std::function<PreparedEdit(CMobDocument&)> prepare;
    // What the operation changes in the state before it.
    std::function<void(DocState&)> expect;
    std::int32_t node;  // to select once applied; kNew for a node the step made
    std::int32_t undoneNode = 0;  // to select once undone, when not node
};

void SetPayload(DocState& state, std::int32_t key, Bytes bytes)
{
    DocState::Node& node = state.At(key);
    node.size = static_cast<std::uint32_t>(bytes.size());
    node.hasData = true;
    node.bytes = std::move(bytes);
}

std::string DwordKey()
{
    return IdKey(0x3000 + DT_DWORD);
}

std::uint32_t IdOf(std::int32_t code)
{
    return 0x3000 + static_cast<std::uint32_t>(code);
}

std::size_t RowOf(const DocState& state, std::int32_t key)
{
    for (std::size_t row = 0; row < state.nodes.size(); ++row) {
        if (state.nodes[row].key == key)
            return row;
    }
    ADD_FAILURE() << "no node with key " << key;
    return 0;
}

// A chunk as loading makes it from the fixture's table.
DocState::Node Made(std::int32_t code, Bytes payload, int image = IMG_CHUNK)
{
    const std::string type(kDataTypeNames[static_cast<std::size_t>(code)]);
    const auto size = static_cast<std::uint32_t>(payload.size());
    return {kNew, "T_" + type, image, IdOf(code), code, size, !payload.empty(), std::move(payload)};
}

void InsertRows(DocState& state, std::size_t row, std::vector<DocState::Node> rows)
{
    state.nodes.insert(state.nodes.begin() + static_cast<std::ptrdiff_t>(row), rows.begin(), rows.end());
}

// Takes the rows of key and its subtree (count rows in all) out of the state.
std::vector<DocState::Node> TakeRows(DocState& state, std::int32_t key, std::size_t count)
{
    const auto first = state.nodes.begin() + static_cast<std::ptrdiff_t>(RowOf(state, key));
    std::vector<DocState::Node> rows(first, first + static_cast<std::ptrdiff_t>(count));
    state.nodes.erase(first, first + static_cast<std::ptrdiff_t>(count));
    return rows;
}

const std::vector<Kind>& Kinds()
{
    static const std::vector<Kind> kinds = {
        {"PatchOfAValue",
         [](const CMobDocument& doc) { return PreparePayloadText(doc, kDword, "1234"); },
         [](DocState& s) { SetPayload(s, kDword, U32Bytes({1234})); }, kDword},
        {"PatchOfOneValueInALargeLayout",
         [](const CMobDocument& doc) {
             Bytes changed = Diplomacy();
             le::WriteI32(changed.data() + 4 * 600, 77);
             return PreparePayloadText(doc, kDiplomacy, FormatChunkData(DT_DIPLOMACY, changed.data(), 4096));
         },
         [](DocState& s) { le::WriteI32(s.At(kDiplomacy).bytes.data() + 4 * 600, 77); }, kDiplomacy},
        {"SwapOfALoadedString",
         [](const CMobDocument& doc) { return PreparePayloadText(doc, kString, "a longer text"); },
         [](DocState& s) { SetPayload(s, kString, Bytes{'a', ' ', 'l', 'o', 'n', 'g', 'e', 'r', ' ', 't', 'e', 'x', 't'}); },
         kString},
        {"SwapOfAValueThatGrewToItsLayout",
         [](const CMobDocument& doc) { return PreparePayloadText(doc, kShortRect, "1,2,3,4"); },
         [](DocState& s) { SetPayload(s, kShortRect, U32Bytes({1, 4, 2, 3})); }, kShortRect},
        {"DescriptionText",
         [](const CMobDocument& doc) {
             return CDescriptionEdit::ForDescription(doc, "0x" + DwordKey(), "new\r\ntext", kDword);
         },
         [](DocState& s) { s.entries[DwordKey()].m_strDescription = "new\r\ntext"; }, kDword},
        {"EntryWithAnotherTypeRetypesLoadedChunks",
         [](const CMobDocument& doc) {
             return CDescriptionEdit::ForEntry(doc, DwordKey(), {"words", "COUNT", "word"}, kSecondDword);
         },
         [](DocState& s) {
             s.entries[DwordKey()] = {"words", "COUNT", "word"};
             for (const std::int32_t key : {kDword, kSecondDword, kThirdDword}) {
                 s.At(key).dataType = DT_WORD;
                 s.At(key).label = "COUNT";
             }
         },
         kSecondDword},
        {"NewEntryNamesChunksThatHadNone",
         [](const CMobDocument& doc) {
             return CDescriptionEdit::ForEntry(doc, IdKey(kIdUnknown), {"", "GUARD", "BINARY"}, kNoNode);
         },
         [](DocState& s) {
             s.entries[IdKey(kIdUnknown)] = {"", "GUARD", "BINARY"};
             for (DocState::Node& node : s.nodes) {
                 if (node.id == kIdUnknown) {
                     node.dataType = DT_BINARY;
                     node.label = "GUARD";
                 }
             }
         },
         kNoNode},
        {"ContainerRetypedKeepsItsChildren",
         [](const CMobDocument& doc) {
             return CDescriptionEdit::ForEntry(doc, IdKey(0x3000 + DT_REC), {"", "T_REC", "BYTE"}, kContainer);
         },
         [](DocState& s) {
             s.entries[IdKey(0x3000 + DT_REC)] = {"", "T_REC", "BYTE"};
             s.At(kContainer).dataType = DT_BYTE;
         },
         kContainer},
        {"InsertIntoAContainer",
         [](const CMobDocument& doc) { return CChunkMove::ForInsert(doc, kContainer, 1, IdOf(DT_DWORD), U32Bytes({5})); },
         [](DocState& s) {
             InsertRows(s, RowOf(s, kInContainer) + 1, {Made(DT_DWORD, U32Bytes({5}))});
             s.At(kContainer).size += 12;
         },
         kNew, kInContainer},
        {"InsertARecWalkedIntoChildren",
         [](const CMobDocument& doc) {
             return CChunkMove::ForInsert(doc, 1, 0, IdOf(DT_REC), ChunkBuilder().Chunk(IdOf(DT_BYTE), {1}).Bytes());
         },
         [](DocState& s) {
             DocState::Node container = Made(DT_REC, {}, IMG_CONTAINER);
             container.size = 9;
             InsertRows(s, 1, {container, Made(DT_BYTE, {1})});
         },
         kNew, 1},
        {"PasteChunksAtTheStartOfAContainer",
         [](const CMobDocument& doc) {
             const Bytes bytes = ChunkBuilder().Chunk(IdOf(DT_STRING), "ab").Chunk(IdOf(DT_BYTE), {3}).Bytes();
             return CChunkMove::ForImport(doc, kContainer, 0, bytes);
         },
         [](DocState& s) {
             InsertRows(s, RowOf(s, kContainer) + 1, {Made(DT_STRING, {'a', 'b'}), Made(DT_BYTE, {3})});
             s.At(kContainer).size += 19;
         },
         kNew, kContainer},
        {"DuplicateAString",
         [](CMobDocument& doc) { return CChunkMove::ForDuplicate(doc, kString); },
         [](DocState& s) {
             DocState::Node copy = s.At(kString);
             copy.key = kNew;
             InsertRows(s, RowOf(s, kString) + 1, {copy});
         },
         kNew, kString},
        {"DeleteAContainerWithItsChunks",
         [](const CMobDocument& doc) { return CChunkMove::ForDelete(doc, kContainer); },
         [](DocState& s) { TakeRows(s, kContainer, 3); },
         kSecondDword, kContainer},
        {"DeleteTheLastChildLeavesAnEmptyContainer",
         [](const CMobDocument& doc) { return CChunkMove::ForDelete(doc, kOtherName); },
         [](DocState& s) {
             TakeRows(s, kOtherName, 1);
             s.At(kOtherGroup).size = 0;
         },
         kOtherGroup, kOtherName},
        {"MoveAmongSiblings",
         [](const CMobDocument& doc) { return CChunkMove::ForMove(doc, kSecondDword, 1, 0); },
         [](DocState& s) { InsertRows(s, 1, TakeRows(s, kSecondDword, 1)); },
         kSecondDword},
        {"MoveIntoAContainerOfAnotherFile",
         [](const CMobDocument& doc) { return CChunkMove::ForMove(doc, kDword, kOtherGroup, 1); },
         [](DocState& s) {
             std::vector<DocState::Node> rows = TakeRows(s, kDword, 1);
             InsertRows(s, RowOf(s, kOtherName) + 1, rows);
             s.At(kOtherGroup).size += 12;
         },
         kDword},
        {"GroupOfEntriesAppliedAndRevertedInTurn",
         [](const CMobDocument& doc) {
             std::vector<PreparedEdit> parts;
             parts.push_back(CDescriptionEdit::ForEntry(doc, IdKey(kIdUnknown), {"", "GUARD", "BINARY"}, kNoNode));
             parts.push_back(CDescriptionEdit::ForEntry(doc, DwordKey(), {"", "COUNT", "WORD"}, kNoNode));
             return CStepGroup::Of(std::move(parts), "Use 2 guessed types", kNoNode);
         },
         [](DocState& s) {
             s.entries[IdKey(kIdUnknown)] = {"", "GUARD", "BINARY"};
             s.entries[DwordKey()] = {"", "COUNT", "WORD"};
             for (DocState::Node& node : s.nodes) {
                 if (node.id == kIdUnknown) {
                     node.dataType = DT_BINARY;
                     node.label = "GUARD";
                 } else if (node.id == 0x3000 + DT_DWORD) {
                     node.dataType = DT_WORD;
                     node.label = "COUNT";
                 }
             }
         },
         kNoNode},
    };
    return kinds;
}

void PrintTo(const Kind& kind, std::ostream* out)
{
    *out << kind.name;
}

class OperationConformance : public EditFixture, public ::testing::WithParamInterface<Kind> {
protected:
    OperationConformance()
    {
        Load(GuardedFile());
        Load(OtherFile(), "other.mob");
        m_nMade = static_cast<std::int32_t>(doc.Tree().GetCount());
    }

    // The state, with the key of every node made since the files were loaded as kNew.
    DocState Shown() const
    {
        DocState state = State();
        for (DocState::Node& node : state.nodes)
            node.key = node.key > m_nMade ? kNew : node.key;
        return state;
    }
    bool IsNode(NodeId node, std::int32_t expected) const
    {
        return expected == kNew ? static_cast<std::int32_t>(node) > m_nMade : static_cast<std::int32_t>(node) == expected;
    }

    std::int32_t m_nMade = 0;
};

TEST_P(OperationConformance, AppliesRevertsAndAppliesAgainExactly)
{
    const Kind& kind = GetParam();
    const std::int32_t undoneNode = kind.undoneNode != 0 ? kind.undoneNode : kind.node;
    const DocState before = State();
    DocState after = before;
    kind.expect(after);
    ASSERT_NE(after, before) << "the case changes nothing";

    PreparedEdit edit = kind.prepare(doc);
    ASSERT_TRUE(edit.op) << edit.error;
    EXPECT_EQ(State(), before) << "preparing changed the document";
    EXPECT_TRUE(IsNode(edit.op->Node(), undoneNode)) << "node " << edit.op->Node() << ": before it is applied, a step stands as undone";
    EXPECT_FALSE(edit.op->Label(doc).empty());

    const EditResult done = session.Do(std::move(edit));
    EXPECT_EQ(done.status, EditResult::Status::Done);
    EXPECT_TRUE(IsNode(done.node, kind.node)) << "node " << done.node;
    EXPECT_EQ(Shown(), after);
    ExpectSizesAndOffsetsAsSaved();
    const DocState applied = State();
    for (int round = 0; round < 2; ++round) {
        const IEditOperation* undone = session.Undo();
        ASSERT_NE(undone, nullptr);
        EXPECT_TRUE(IsNode(undone->Node(), undoneNode)) << "node " << undone->Node();
        EXPECT_EQ(State(), before);
        ExpectSizesAndOffsetsAsSaved();
        const IEditOperation* redone = session.Redo();
        ASSERT_NE(redone, nullptr);
        EXPECT_EQ(redone->Node(), done.node);
        EXPECT_EQ(State(), applied) << "done again, the step makes the same nodes with the same keys";
        ExpectSizesAndOffsetsAsSaved();
    }
    EXPECT_EQ(session.Redo(), nullptr);
}

// A step of this kind is the oldest when a cap of nothing is reached: it is
// dropped but stays done, and the newest step stays undoable.
TEST_P(OperationConformance, CapDropsTheOldestStepNeverTheNewest)
{
    const Kind& kind = GetParam();
    CEditHistory history(0);
    DocState after = State();
    kind.expect(after);

    history.Do(doc, kind.prepare(doc).op);
    EXPECT_EQ(history.UndoCount(), 1u) << "the newest step stays whatever the cap";
    PreparedEdit newest = PreparePayloadText(doc, kThirdDword, "6");
    ASSERT_TRUE(newest.op);
    history.Do(doc, std::move(newest.op));
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.KeptBytes(), history.NextUndo()->KeptBytes());

    ASSERT_NE(history.Undo(doc), nullptr);
    EXPECT_EQ(Shown(), after);
    EXPECT_EQ(history.Undo(doc), nullptr);
}

// A file loaded while a type change is done takes the new type; undone or
// done again, the change treats it as a load at that moment would.
TEST_F(EditFixture, ATypeChangeReachesFilesLoadedSince)
{
    const auto type = [&] { return doc.Chunks().Lookup(static_cast<std::int32_t>(doc.Tree().GetCount()))->m_nDataType; };
    Load(ChunkBuilder().Chunk(kIdDword, U32Bytes({1})).Bytes(), "first.mob");
    ASSERT_EQ(session.SetEntry(IdKey(kIdDword), {"", "Count", "WORD"}, 2).status, EditResult::Status::Done);
    Load(ChunkBuilder().Chunk(kIdDword, U32Bytes({2})).Bytes(), "later.mob");
    EXPECT_EQ(type(), DT_WORD);
    session.Undo();
    EXPECT_EQ(type(), DT_DWORD);
    session.Redo();
    EXPECT_EQ(type(), DT_WORD);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, OperationConformance, ::testing::ValuesIn(Kinds()),
                         [](const ::testing::TestParamInfo<Kind>& kind) { return std::string(kind.param.name); });

} // namespace
} // namespace qm::test
