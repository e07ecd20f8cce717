// What is unsaved comes from the history alone: scripts of edits, undos,
// redos, saves and description writes, with what must count as unsaved
// after each; and keystrokes that make one step.

#include "EditFixture.h"

#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

using tools::ChunkBuilder;

// Two files, each one BYTE chunk: file A is node 1 with its chunk 2, file B
// node 3 with its chunk 4.
constexpr NodeId kFileA = 1;
constexpr NodeId kChunkA = 2;
constexpr NodeId kFileB = 3;
constexpr NodeId kChunkB = 4;
constexpr const char* kByteIdText = "0x00002001";

class EditHistoryTest : public EditFixture {
protected:
    EditHistoryTest()
    {
        Load(ChunkBuilder().Chunk(kIdByte, {0}).Bytes(), "a.mob");
        Load(ChunkBuilder().Chunk(kIdByte, {0}).Bytes(), "b.mob");
    }

    // One letter an action: a and b apply a new value to file A's or B's
    // chunk, d a new description (a step of its own), u undo, r redo, S
    // save file A, W write the descriptions, C unload everything.
    void Act(CEditSession& edits, char action)
    {
        const std::string value = std::to_string(++m_nValue);
        switch (action) {
        case 'a':
            ASSERT_EQ(edits.ApplyText(kChunkA, value).status, EditResult::Status::Done);
            return;
        case 'b':
            ASSERT_EQ(edits.ApplyText(kChunkB, value).status, EditResult::Status::Done);
            return;
        case 'd':
            ASSERT_EQ(edits.SetDescription(kByteIdText, "text " + value, kChunkA).status, EditResult::Status::Done);
            edits.EndStep();
            return;
        case 'u':
            ASSERT_NE(edits.Undo(), nullptr);
            return;
        case 'r':
            ASSERT_NE(edits.Redo(), nullptr);
            return;
        case 'S':
            ASSERT_TRUE(edits.SaveMobFile(dir.File("saved.mob"))) << doc.GetIoError();
            return;
        case 'W':
            ASSERT_TRUE(edits.WriteDescFile()) << doc.GetError();
            return;
        case 'C':
            edits.UnloadAll();
            return;
        default:
            FAIL() << "no action " << action;
        }
    }

    // What is unsaved: A and B for the files, D for the descriptions, a
    // dot for each that is not.
    static std::string Unsaved(const CEditSession& edits)
    {
        const CEditHistory& history = edits.History();
        std::string flags;
        flags += history.HasUnsavedChanges(edits.Document(), kFileA) ? 'A' : '.';
        flags += history.HasUnsavedChanges(edits.Document(), kFileB) ? 'B' : '.';
        flags += edits.HasUnwrittenDescriptions() ? 'D' : '.';
        return flags;
    }

    int m_nValue = 0;
};

struct Script {
    const char* name;
    // Pairs of an action and what is unsaved after it.
    std::vector<std::pair<char, const char*>> steps;
};

TEST_F(EditHistoryTest, UnsavedWorkFollowsTheSavedMarks)
{
    const std::vector<Script> scripts = {
        {"undo back to the save, and past it",
         {{'a', "A.."}, {'S', "..."}, {'a', "A.."}, {'u', "..."}, {'u', "A.."}, {'r', "..."}, {'r', "A.."}}},
        {"a new step after undoing past the save cannot reach it again",
         {{'a', "A.."}, {'S', "..."}, {'u', "A.."}, {'a', "A.."}, {'u', "A.."}}},
        {"a new step after undoing back to the save keeps it reachable",
         {{'a', "A.."}, {'S', "..."}, {'a', "A.."}, {'u', "..."}, {'a', "A.."}, {'u', "..."}}},
        {"each file has its own mark",
         {{'a', "A.."}, {'b', "AB."}, {'S', ".B."}, {'u', "..."}, {'u', "A.."}, {'r', "..."}}},
        {"descriptions against the last write",
         {{'d', "..D"}, {'W', "..."}, {'u', "..D"}, {'r', "..."}, {'d', "..D"}, {'u', "..."}}},
        {"data and descriptions apart",
         {{'d', "..D"}, {'W', "..."}, {'a', "A.."}, {'u', "..."}, {'u', "..D"}, {'r', "..."}, {'r', "A.."}}},
        {"unloading forgets the steps but not unwritten descriptions",
         {{'a', "A.."}, {'d', "A.D"}, {'C', "..D"}, {'W', "..."}}},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.name);
        doc.UnloadAll();
        Load(ChunkBuilder().Chunk(kIdByte, {0}).Bytes(), "a.mob");
        Load(ChunkBuilder().Chunk(kIdByte, {0}).Bytes(), "b.mob");
        CEditSession edits(doc);
        std::string done;
        for (const auto& [action, unsaved] : script.steps) {
            done += action;
            Act(edits, action);
            EXPECT_EQ(Unsaved(edits), unsaved) << "after " << done;
        }
        EXPECT_EQ(edits.HasUnsavedData(), Unsaved(edits)[0] == 'A' || Unsaved(edits)[1] == 'B');
    }
}

TEST_F(EditHistoryTest, ASavedStateTheCapDroppedStaysUnsaved)
{
    CEditSession edits(doc, 0);
    for (const char action : {'S', 'a', 'a'})
        Act(edits, action);
    EXPECT_EQ(edits.History().UndoCount(), 1u);
    Act(edits, 'u');
    EXPECT_EQ(Unsaved(edits), "A..");
}

TEST_F(EditHistoryTest, KeystrokesInOneDescriptionMakeOneStep)
{
    const DocState before = State();
    for (const char* text : {"n", "ne", "new"})
        EXPECT_EQ(session.SetDescription(kByteIdText, text, kChunkA).status, EditResult::Status::Done);
    EXPECT_EQ(session.History().UndoCount(), 1u);
    EXPECT_EQ(session.UndoText(), "Undo Edit description of Flag");

    // Another entry, or the same one after EndStep() or a write, is a new step.
    EXPECT_EQ(session.SetDescription("0x00002003", "count", kChunkA).status, EditResult::Status::Done);
    EXPECT_EQ(session.SetDescription(kByteIdText, "newer", kChunkA).status, EditResult::Status::Done);
    session.EndStep();
    EXPECT_EQ(session.SetDescription(kByteIdText, "newest", kChunkA).status, EditResult::Status::Done);
    ASSERT_TRUE(session.WriteDescFile());
    EXPECT_EQ(session.SetDescription(kByteIdText, "written", kChunkA).status, EditResult::Status::Done);
    EXPECT_EQ(session.History().UndoCount(), 5u);

    while (session.Undo() != nullptr) {
    }
    EXPECT_EQ(State(), before);

    // Typed away again, the step is gone with it.
    session.Redo();
    session.EndStep();
    const std::size_t steps = session.History().UndoCount();
    EXPECT_EQ(session.SetDescription(kByteIdText, "newx", kChunkA).status, EditResult::Status::Done);
    EXPECT_EQ(session.SetDescription(kByteIdText, "new", kChunkA).status, EditResult::Status::Done);
    EXPECT_EQ(session.History().UndoCount(), steps);
}

TEST_F(EditHistoryTest, RefusedAndEmptyEditsLeaveTheHistoryAlone)
{
    ASSERT_EQ(session.ApplyText(kChunkA, "5").status, EditResult::Status::Done);
    session.Undo();
    const DocState before = State();

    const EditResult refused = session.SetDescription("0x00009999", "x", kChunkA);
    EXPECT_TRUE(refused.Refused());
    EXPECT_EQ(refused.error, "Can't find description for id: \n0x00009999");
    EXPECT_EQ(session.ApplyText(kChunkA, "0").status, EditResult::Status::Unchanged);
    EXPECT_EQ(session.ApplyText(99, "1").status, EditResult::Status::Refused);

    EXPECT_EQ(State(), before);
    EXPECT_EQ(session.History().RedoCount(), 1u) << "the undone step can still be done again";
    EXPECT_EQ(session.RedoText(), "Redo Apply to Flag");
}

} // namespace
} // namespace qm::test
