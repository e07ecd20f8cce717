// Apply, undo, redo and save, for every data type: the file on disk holds
// the edited bytes or the original ones, with every container size right,
// in every order tried. Expected files are built independently.

#include "EditFixture.h"

#include "codec/CodecTestSupport.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "edit/CDescriptionEdit.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <optional>

namespace qm::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr NodeId kEdited = 4;  // file, container, guard, then the chunk

// The payload, and text for it; the codec's own tests hold what each text
// gives, so here the expected bytes come from parsing onto a copy.
struct Row {
    std::int32_t type;
    Bytes payload;
    std::string text;
};

std::vector<Row> Rows()
{
    std::string strS06 = "5";
    for (int line = 1; line < 48; ++line)
        strS06 += "\r\n0";
    Bytes diplomacy(4096);
    diplomacy[4 * 31] = 9;
    return {
        {DT_BYTE, {7}, "300"},
        {DT_WORD, {1, 2}, "-2"},
        {DT_DWORD, U32Bytes({5}), "-1"},
        {DT_DWORD, {7}, "513"},
        {DT_FLOAT, F32Bytes({1.5f}), "2.5e3xyz"},
        {DT_STRING, Bytes({'h', 'i', 0}), "abc"},
        {DT_SCRIPT, Bytes{'a', '\n', 'b'}, "x\r\ny"},
        {DT_SCRIPT_ENC, Enciphered(77, "a"), "b\r\nc"},
        {DT_STR_SAR, SarPayload(0x3000 + DT_STR_SAR, {"ab", "c"}), SarText({"x", ""})},
        {DT_RECT, U32Bytes({1, 2, 3, 4}), "5,6,7,8"},
        {DT_RECT, U32Bytes({1, 2}), "5,6,7,8"},
        {DT_RECT, U32Bytes({1, 2, 3, 4}), "5,6,7"},
        {DT_STR_S01, Cat({U32Bytes({1}), F32Bytes({1, 2, 3})}), "4,5,6\r\n7,8,9\r\n"},
        {DT_STR_S02, Cat({U32Bytes({1}), F32Bytes({1, 2})}), "3,4"},
        {DT_PLOT, F32Bytes({1, 2, 3}), "1.5, -2, 0"},
        {DT_QUATERNION, F32Bytes({0, 0, 0, 1}), "1,2,3,4"},
        {DT_BINARY, U32Bytes({7, 8, 9}), "1,-1,3"},
        {DT_STR_S06, Bytes(172), strS06},
        {DT_DIPLOMACY, Bytes(4096), FormatChunkData(DT_DIPLOMACY, diplomacy.data(), 4096)},
        {DT_STR_S08, U32Bytes({5, 6}), "7,8"},
        {DT_NULL, {1, 2}, "x"},
        {DT_REC, {}, "x"},
        {DT_STR_S09, {1}, "x"},
        {DT_STR_S10, {1}, "x"},
        {DT_STR_S11, {1}, "x"},
    };
}

// What the text makes of the payload, or none when it is refused.
std::optional<Bytes> Parsed(const Row& row)
{
    CMobChunk rec = Record(row.type, row.payload, 0x3000 + static_cast<std::uint32_t>(row.type));
    if (!ParseChunkData(rec, row.text))
        return std::nullopt;
    return PayloadOf(rec);
}

// The chunk between two guards inside a container, and a chunk after it.
Bytes FileWith(std::int32_t type, const Bytes& payload)
{
    ChunkBuilder b;
    b.Begin(kIdRec).Chunk(kIdUnknown, Bytes(16, 0xA5)).Chunk(0x3000 + static_cast<std::uint32_t>(type), payload);
    b.Chunk(kIdUnknown, Bytes(16, 0x5A)).End().Chunk(kIdByte, {3});
    return b.Bytes();
}

class EditOnDiskTest : public EditFixture {};

TEST_F(EditOnDiskTest, EveryDataTypeSavesTheEditedOrTheOriginalBytes)
{
    for (const Row& row : Rows()) {
        SCOPED_TRACE(std::string(kDataTypeNames[static_cast<std::size_t>(row.type)]) + " with " + row.text);
        session.UnloadAll();
        const Bytes original = FileWith(row.type, row.payload);
        Load(original);

        const EditResult applied = session.ApplyText(kEdited, row.text);
        const std::optional<Bytes> parsed = Parsed(row);
        if (!parsed) {
            EXPECT_TRUE(applied.Refused());
            EXPECT_EQ(applied.error.rfind("An error occured\nwhile updating data!", 0), 0u) << applied.error;
            EXPECT_EQ(SaveAndRead(), original);
            EXPECT_EQ(session.History().UndoCount(), 0u);
            continue;
        }
        ASSERT_EQ(applied.status, EditResult::Status::Done) << applied.error;
        EXPECT_EQ(applied.node, kEdited);
        ASSERT_NE(*parsed, row.payload);
        const Bytes edited = FileWith(row.type, *parsed);
        EXPECT_EQ(SaveAndRead(), edited);
        session.Undo();
        EXPECT_EQ(SaveAndRead(), original);
        session.Redo();
        EXPECT_EQ(SaveAndRead(), edited);
        session.Undo();
        ASSERT_EQ(session.ApplyText(kEdited, row.text).status, EditResult::Status::Done);
        EXPECT_EQ(SaveAndRead(), edited);
        EXPECT_EQ(session.ApplyText(kEdited, row.text).status, EditResult::Status::Unchanged);
    }
}

// A container retyped to a type with a text form keeps its children, and
// they make its bytes; text applied to it would be lost on saving.
TEST_F(EditOnDiskTest, TextForAChunkWithChildrenIsRefused)
{
    const Bytes original = FileWith(DT_BYTE, {1});
    Load(original);
    ASSERT_EQ(session.SetEntry("00001000", {"", "Group", "STRING"}, 2).status, EditResult::Status::Done);
    const EditResult applied = session.ApplyText(2, "text");
    EXPECT_TRUE(applied.Refused());
    EXPECT_NE(applied.error.find("holds other chunks"), std::string::npos) << applied.error;
    EXPECT_EQ(SaveAndRead(), original);
}

} // namespace
} // namespace qm::test
