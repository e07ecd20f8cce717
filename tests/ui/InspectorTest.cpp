// The hex view and the inspector in the window: switching between the text
// editor and the hex view, the cursor and selection, "Use this type" and
// the Guess types dialog, each undone and done again.

#include "CEditorHarness.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "tools/ChunkBuilder.h"
#include "ui/CDataViewPane.h"
#include "ui/CGuessTypesDlg.h"
#include "ui/CHexSelection.h"
#include "ui/CHexView.h"
#include "ui/CInspectorPanel.h"
#include "ui/CStatusBar.h"
#include "ui/EditorIds.h"

#include <QAction>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <optional>

using namespace qm;
using namespace qm::test;

namespace {

constexpr std::uint32_t kIdText = 0x7777;   // undescribed, text
constexpr std::uint32_t kIdOther = 0x7779;  // undescribed, text

std::vector<std::uint8_t> FileWithUndescribedIds()
{
    tools::ChunkBuilder b;
    b.Begin(kIdGroup).Chunk(kIdCount, tools::U32Bytes({7})).Chunk(kIdText, "unknown text").End();
    b.Chunk(kIdOther, "more text here").Chunk(kIdFlag, {0});
    return b.Bytes();
}

std::vector<std::uint8_t> Of(std::span<const std::uint8_t> bytes)
{
    return {bytes.begin(), bytes.end()};
}

} // namespace

class InspectorTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;

    CDataViewPane& View() { return *h->Dlg().DataView(); }
    NodeId NodeWithId(std::uint32_t id)
    {
        const CMobDocument& doc = h->Dlg().Document();
        for (NodeId node = 1; node <= static_cast<NodeId>(doc.Tree().GetCount()); ++node) {
            const CMobChunk* rec = doc.Chunks().Lookup(doc.Tree().GetItemData(node));
            if (doc.Tree().GetParentItem(node) != kNoNode && rec && rec->m_nId == id)
                return node;
        }
        return kNoNode;
    }
    const CFieldDesc* Entry(std::uint32_t id) { return h->Dlg().Document().LookupDesc(IdKey(id)); }
    void Undo() { h->Dlg().MenuItem(ids::kCmdUndo)->trigger(); }
    void Redo() { h->Dlg().MenuItem(ids::kCmdRedo)->trigger(); }

private slots:
    void init()
    {
        h.emplace();
        QVERIFY(h->Start());
        h->Open({h->WriteFile(QStringLiteral("a.mob"), FileWithUndescribedIds())});
    }
    void cleanup() { h.reset(); }

    // A key or a click leaves the cursor on a byte and selects from the
    // anchor to it, both ends counted; nothing moves past either end.
    void selectionMoves_data()
    {
        QTest::addColumn<QString>("moves");
        QTest::addColumn<qulonglong>("start");
        QTest::addColumn<qulonglong>("length");
        // 40 bytes: t<offset> cursor to, e<offset> extend to, +/-<n> by,
        // s/E row start/end (extending), h/H row start/end (moving).
        QTest::newRow("cursor alone") << "t5" << 5ULL << 0ULL;
        QTest::newRow("past the end stops at the last byte") << "t99" << 39ULL << 0ULL;
        QTest::newRow("before the start stops at 0") << "t3 -10" << 0ULL << 0ULL;
        QTest::newRow("selection forwards") << "t4 e7" << 4ULL << 4ULL;
        QTest::newRow("selection backwards") << "t7 e4" << 4ULL << 4ULL;
        QTest::newRow("one byte selected") << "t7 e7" << 7ULL << 1ULL;
        QTest::newRow("selection to the end") << "t30 e99" << 30ULL << 10ULL;
        QTest::newRow("a move drops the selection") << "t4 e7 +1" << 8ULL << 0ULL;
        QTest::newRow("row end of the last, short row") << "t33 E" << 33ULL << 7ULL;
        QTest::newRow("row start") << "t20 h" << 16ULL << 0ULL;
    }
    void selectionMoves()
    {
        QFETCH(QString, moves);
        CHexSelection selection;
        selection.Reset(40);
        for (const QString& move : moves.split(QLatin1Char(' '))) {
            const qlonglong n = move.mid(1).toLongLong();
            switch (move[0].toLatin1()) {
            case 't': selection.MoveTo(static_cast<std::size_t>(n), false); break;
            case 'e': selection.MoveTo(static_cast<std::size_t>(n), true); break;
            case '+': selection.MoveBy(n, false); break;
            case '-': selection.MoveBy(-n, false); break;
            case 'E': selection.MoveToRowEnd(16, true); break;
            case 'h': selection.MoveToRowStart(16, false); break;
            default: QFAIL("no such move");
            }
        }
        QFETCH(qulonglong, start);
        QFETCH(qulonglong, length);
        QCOMPARE(static_cast<qulonglong>(selection.Start()), start);
        QCOMPARE(static_cast<qulonglong>(selection.Length()), length);
    }

    void viewStaysWhileTheSelectionMoves()
    {
        const NodeId count = h->Select("COUNT");
        QVERIFY(h->IsEnabled(ids::kView));
        h->Click(ids::kView);
        QVERIFY(h->Dlg().IsViewMode());
        QVERIFY(View().isVisible());
        QVERIFY(!h->Dlg().DataEdit()->isVisible());
        QCOMPARE(Of(View().HexView()->Bytes()), (std::vector<std::uint8_t>{7, 0, 0, 0}));

        // A container shows the bytes it will be saved as.
        h->Select(h->Dlg().Document().Tree().GetParentItem(count));
        QCOMPARE(View().HexView()->Bytes().size(), std::size_t{8 + 4 + 8 + 12});
        QVERIFY(h->Dlg().IsViewMode());

        // A file node has no payload: nothing to view, but the choice stays.
        h->Select(h->Dlg().Document().Tree().GetRootItem());
        QVERIFY(!h->IsEnabled(ids::kView));
        QVERIFY(View().HexView()->Bytes().empty());
        h->Select(NodeWithId(kIdText));
        QVERIFY(h->Dlg().IsViewMode());
        QCOMPARE(Of(View().HexView()->Bytes()).size(), std::size_t{12});
        QVERIFY(View().Inspector()->Guess()->text().contains(QLatin1String("STRING")));

        // Shift and the cursor keys select; the status bar and the
        // inspector follow, reading no further than the selection.
        h->Press(View().HexView(), Qt::Key_End);
        h->Press(View().HexView(), Qt::SHIFT | Qt::Key_Left);
        QCOMPARE(h->Dlg().StatusBar()->GetText(0), QStringLiteral("Start 0x0000000A, length 2"));
        QTreeWidget* readings = View().Inspector()->Readings();
        QCOMPARE(readings->findItems(QStringLiteral("u16"), Qt::MatchExactly).value(0)->text(1),
                 QString::number('x' | ('t' << 8)));
        QCOMPARE(readings->findItems(QStringLiteral("u32"), Qt::MatchExactly).value(0)->text(1), QString());
        QCOMPARE(readings->findItems(QStringLiteral("text"), Qt::MatchExactly).value(0)->text(1), QStringLiteral("xt"));

        h->Click(ids::kEdit);
        QVERIFY(!h->Dlg().IsViewMode());
        QVERIFY(h->Dlg().DataEdit()->isVisible());
        QCOMPARE(h->Dlg().StatusBar()->GetText(0), QStringLiteral("Ready"));
    }

    void useThisTypeNamesTheIdAndCanBeUndone()
    {
        const NodeId node = h->Select(NodeWithId(kIdText));
        h->Click(ids::kView);
        QTreeWidget* previews = View().Inspector()->Previews();
        const QList<QTreeWidgetItem*> rows = previews->findItems(QStringLiteral("SCRIPT"), Qt::MatchExactly);
        QCOMPARE(rows.size(), 1);
        h->prompts.modal = [](QDialog& dialog) {
            static_cast<QInputDialog&>(dialog).setTextValue(QStringLiteral("NOTE"));
            dialog.accept();
        };
        static_cast<QPushButton*>(previews->itemWidget(rows.front(), 1))->click();
        QTRY_VERIFY(Entry(kIdText) != nullptr);

        QCOMPARE(*Entry(kIdText), (CFieldDesc{"", "NOTE", "SCRIPT"}));
        QCOMPARE(h->Chunk(node).m_nDataType, std::int32_t{DT_SCRIPT});
        QCOMPARE(h->FieldText(ids::kTypeField), QStringLiteral("SCRIPT"));
        QVERIFY(h->Dlg().Session().HasUnwrittenDescriptions());
        // Still in the hex view, the guess gone with the description.
        QVERIFY(h->Dlg().IsViewMode());
        QVERIFY(View().Inspector()->Guess()->text().isEmpty());

        Undo();
        QCOMPARE(Entry(kIdText), nullptr);
        QCOMPARE(h->Chunk(node).m_nDataType, std::int32_t{DT_NULL});
        QVERIFY(!h->Dlg().Session().HasUnwrittenDescriptions());
        Redo();
        QCOMPARE(*Entry(kIdText), (CFieldDesc{"", "NOTE", "SCRIPT"}));

        // A named entry changes type without asking again.
        h->prompts.modal = nullptr;
        const QList<QTreeWidgetItem*> strings = previews->findItems(QStringLiteral("STRING"), Qt::MatchExactly);
        static_cast<QPushButton*>(previews->itemWidget(strings.front(), 1))->click();
        QTRY_COMPARE(Entry(kIdText)->m_strType, std::string("STRING"));
        QCOMPARE(Entry(kIdText)->m_strName, std::string("NOTE"));
    }

    void useThisTypeCancelledChangesNothing()
    {
        h->Select(NodeWithId(kIdText));
        h->Click(ids::kView);
        QTreeWidget* previews = View().Inspector()->Previews();
        QTreeWidgetItem* row = previews->findItems(QStringLiteral("STRING"), Qt::MatchExactly).value(0);
        static_cast<QPushButton*>(previews->itemWidget(row, 1))->click();
        QTRY_VERIFY(h->prompts.log.contains(QStringLiteral("modal: Use this type")));
        QCOMPARE(Entry(kIdText), nullptr);
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdUndo)->isEnabled());
    }

    void guessesAppliedAsOneStep()
    {
        h->prompts.modal = [](QDialog& dialog) {
            QTableWidget* table = static_cast<CGuessTypesDlg&>(dialog).Table();
            QCOMPARE(table->rowCount(), 2);
            for (int row = 0; row < 2; ++row) {
                table->item(row, CGuessTypesDlg::kUse)->setCheckState(Qt::Checked);
                QCOMPARE(table->item(row, CGuessTypesDlg::kType)->text(), QStringLiteral("STRING"));
            }
            table->item(0, CGuessTypesDlg::kName)->setText(QStringLiteral("LABEL"));
            dialog.accept();
        };
        h->Select(NodeWithId(kIdText));
        h->Dlg().MenuItem(ids::kCmdGuessTypes)->trigger();
        QCOMPARE(*Entry(kIdText), (CFieldDesc{"", "LABEL", "STRING"}));
        QCOMPARE(*Entry(kIdOther), (CFieldDesc{"", "ID_00007779", "STRING"}));
        QCOMPARE(h->Chunk(NodeWithId(kIdOther)).m_nDataType, std::int32_t{DT_STRING});
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), QStringLiteral("unknown text"));
        QCOMPARE(h->Dlg().MenuItem(ids::kCmdUndo)->text(), QStringLiteral("&Undo Use 2 guessed types\tCtrl+Z"));

        Undo();
        QCOMPARE(Entry(kIdText), nullptr);
        QCOMPARE(Entry(kIdOther), nullptr);
        QCOMPARE(h->Chunk(NodeWithId(kIdOther)).m_nDataType, std::int32_t{DT_NULL});
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdUndo)->isEnabled());
        Redo();
        QCOMPARE(Entry(kIdOther)->m_strType, std::string("STRING"));

        // With every id described there is nothing left to guess.
        h->prompts.modal = nullptr;
        h->Dlg().MenuItem(ids::kCmdGuessTypes)->trigger();
        QCOMPARE(h->prompts.log.last(), QStringLiteral("info: Every id in the loaded files has a description."));
    }
};

QTEST_MAIN(InspectorTest)
#include "InspectorTest.moc"
