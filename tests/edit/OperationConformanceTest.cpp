// One test that every kind of edit operation must pass: applied, reverted and
// applied again, the document is each time exactly as it should be, down to
// the bytes of the guard chunks around the edited payload; and a step of
// every kind can be dropped by the history's memory cap while the newest
// step stays.

#include "EditFixture.h"

#include "codec/FormatChunkData.h"
#include "desc/IdKey.h"
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
};

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

struct Kind {
    const char* name;
    // The operation, prepared against the loaded file.
    std::function<PreparedEdit(const CMobDocument&)> prepare;
    // What the operation changes in the state before it.
    std::function<void(DocState&)> expect;
    NodeId node;
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
    OperationConformance() { Load(GuardedFile()); }
};

TEST_P(OperationConformance, AppliesRevertsAndAppliesAgainExactly)
{
    const Kind& kind = GetParam();
    const DocState before = State();
    DocState after = before;
    kind.expect(after);
    ASSERT_NE(after, before) << "the case changes nothing";

    PreparedEdit edit = kind.prepare(doc);
    ASSERT_TRUE(edit.op) << edit.error;
    EXPECT_EQ(State(), before) << "preparing changed the document";
    EXPECT_EQ(edit.op->Node(), kind.node);
    EXPECT_FALSE(edit.op->Label(doc).empty());

    EXPECT_EQ(session.Do(std::move(edit)).status, EditResult::Status::Done);
    EXPECT_EQ(State(), after);
    for (int round = 0; round < 2; ++round) {
        const IEditOperation* undone = session.Undo();
        ASSERT_NE(undone, nullptr);
        EXPECT_EQ(undone->Node(), kind.node);
        EXPECT_EQ(State(), before);
        EXPECT_NE(session.Redo(), nullptr);
        EXPECT_EQ(State(), after);
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
    PreparedEdit newest = PreparePayloadText(doc, kInContainer, "6");
    ASSERT_TRUE(newest.op);
    history.Do(doc, std::move(newest.op));
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.KeptBytes(), history.NextUndo()->KeptBytes());

    ASSERT_NE(history.Undo(doc), nullptr);
    EXPECT_EQ(State(), after);
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
