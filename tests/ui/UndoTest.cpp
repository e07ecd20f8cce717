// Undo and redo in the window: what the Edit menu says, which keys act on
// the document and which on the text box, what is shown after a step, and
// that saving, the caption and every question follow the history.

#include "CEditorHarness.h"
#include "tools/ChunkBuilder.h"
#include "tools/TempDir.h"
#include "ui/CDataEdit.h"
#include "ui/EditorIds.h"

#include <QAction>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <optional>

using namespace qm;
using namespace qm::test;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class UndoTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;
    QString m_strFile;
    NodeId m_nFlag = kNoNode;   // the first FLAG, inside two closed groups
    NodeId m_nCount = kNoNode;

    QAction* Item(int id) { return h->Dlg().MenuItem(id); }
    void Keys(QWidget* focus, QKeyCombination keys) const { h->Press(focus, keys); }

    // One letter an action:
    //   a  apply 5 to FLAG            d  type X into COUNT's description
    //   u  Undo in the menu           U  Ctrl+Z in the tree
    //   r  Redo in the menu           R  Ctrl+Y, Z Ctrl+Shift+Z in the tree
    //   s  save over the loaded file  w  write the descriptions ("Apply")
    void Run(const QString& script)
    {
        QTreeView* tree = h->Dlg().TreeCtrl();
        for (const QChar action : script) {
            switch (action.toLatin1()) {
            case 'a': h->ApplyData(m_nFlag, QStringLiteral("5")); break;
            case 'd': h->TypeDescription(m_nCount, QStringLiteral("X")); break;
            case 'u': Item(ids::kCmdUndo)->trigger(); break;
            case 'U': Keys(tree, Qt::CTRL | Qt::Key_Z); break;
            case 'r': Item(ids::kCmdRedo)->trigger(); break;
            case 'R': Keys(tree, Qt::CTRL | Qt::Key_Y); break;
            case 'Z': Keys(tree, Qt::CTRL | Qt::SHIFT | Qt::Key_Z); break;
            case 's':
                h->prompts.save.push_back(m_strFile);
                Keys(tree, Qt::CTRL | Qt::Key_S);
                break;
            case 'w': h->Click(ids::kDescApply); break;
            default: QFAIL("no such action");
            }
        }
    }

private slots:
    void init()
    {
        h.emplace();
        QVERIFY(h->Start());
        m_strFile = h->WriteSample(QStringLiteral("a.mob"));
        h->Open({m_strFile});
        m_nFlag = h->NodeByLabel("FLAG");
        m_nCount = h->NodeByLabel("COUNT");
    }

    void cleanup() { h.reset(); }

    void historyDecidesWhatIsUnsaved_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("unsavedData");
        QTest::addColumn<bool>("unwritten");
        QTest::addColumn<QString>("undo");  // the Edit menu's items, keys hint dropped
        QTest::addColumn<QString>("redo");
        QTest::addColumn<int>("flagOnDisk");
        QTest::newRow("apply") << "a" << true << false << "&Undo Apply to FLAG" << "&Redo" << 1;
        QTest::newRow("apply, undo") << "au" << false << false << "&Undo" << "&Redo Apply to FLAG" << 1;
        QTest::newRow("apply, undo, save") << "aus" << false << false << "&Undo" << "&Redo Apply to FLAG" << 1;
        QTest::newRow("apply, save") << "as" << false << false << "&Undo Apply to FLAG" << "&Redo" << 5;
        QTest::newRow("apply, save, undo") << "asU" << true << false << "&Undo" << "&Redo Apply to FLAG" << 5;
        QTest::newRow("apply, save, undo, save") << "asus" << false << false << "&Undo" << "&Redo Apply to FLAG"
                                                 << 1;
        QTest::newRow("apply, save, undo, redo") << "asUR" << false << false << "&Undo Apply to FLAG" << "&Redo"
                                                 << 5;
        QTest::newRow("apply, undo, redo") << "aUZ" << true << false << "&Undo Apply to FLAG" << "&Redo" << 1;
        QTest::newRow("describe") << "d" << false << true << "&Undo Edit description of COUNT" << "&Redo" << 1;
        QTest::newRow("describe, undo") << "du" << false << false << "&Undo"
                                        << "&Redo Edit description of COUNT" << 1;
        QTest::newRow("describe, write, undo") << "dwu" << false << true << "&Undo"
                                               << "&Redo Edit description of COUNT" << 1;
        QTest::newRow("describe, write, undo, redo")
            << "dwur" << false << false << "&Undo Edit description of COUNT" << "&Redo" << 1;
        QTest::newRow("a new step drops the undone")
            << "aud" << false << true << "&Undo Edit description of COUNT" << "&Redo" << 1;
        QTest::newRow("two keystrokes, two visits") << "ddu" << false << true << "&Undo Edit description of COUNT"
                                                    << "&Redo Edit description of COUNT" << 1;
    }

    void historyDecidesWhatIsUnsaved()
    {
        QFETCH(QString, script);
        QFETCH(bool, unsavedData);
        QFETCH(bool, unwritten);
        QFETCH(QString, undo);
        QFETCH(QString, redo);
        QFETCH(int, flagOnDisk);
        Run(script);
        const bool unsaved = unsavedData || unwritten;
        QCOMPARE(h->Dlg().isWindowModified(), unsaved);
        QCOMPARE(h->Caption(), unsaved ? QStringLiteral("Quillmere*") : QStringLiteral("Quillmere"));
        QCOMPARE(h->IsEnabled(ids::kDescApply), unwritten);
        QCOMPARE(Item(ids::kCmdUndo)->text().section('\t', 0, 0), undo);
        QCOMPARE(Item(ids::kCmdRedo)->text().section('\t', 0, 0), redo);
        QCOMPARE(Item(ids::kCmdUndo)->isEnabled(), undo != QLatin1String("&Undo"));
        QCOMPARE(Item(ids::kCmdRedo)->isEnabled(), redo != QLatin1String("&Redo"));
        // The file on disk, against one built with the value saved.
        QCOMPARE(ReadAll(m_strFile), ReadAll(h->WriteSample(QStringLiteral("expected.mob"), static_cast<std::uint8_t>(flagOnDisk))));

        // Unload and Open ask about unsaved data, closing about both; No
        // each time.
        h->prompts.log.clear();
        h->Click(ids::kUnload);
        h->Open({m_strFile});
        h->Dlg().close();
        QStringList asked;
        for (const QString& entry : h->prompts.log)
            asked << entry.section(QLatin1Char('\n'), -1);
        QStringList expected;
        if (unsavedData)
            expected << "Unload anyway?" << "Open anyway?";
        if (unsaved)
            expected << "Close anyway?";
        QCOMPARE(asked, expected);
        QCOMPARE(h->Dlg().isVisible(), unsaved);
    }

    // In a text box that takes typing the keys undo typing there; anywhere
    // else, and from the menu, they undo the document.
    void focusDecidesWhatTheKeysUndo_data()
    {
        QTest::addColumn<int>("focus");
        QTest::addColumn<QList<QKeyCombination>>("keys");  // none: Undo in the menu
        QTest::addColumn<QString>("shown");                // data editor, or description box
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("undo");
        const QKeyCombination undo = Qt::CTRL | Qt::Key_Z;
        const QKeyCombination redo = Qt::CTRL | Qt::Key_Y;
        const QString applied = QStringLiteral("&Undo Apply to FLAG");
        QTest::newRow("data editor") << ids::kDataEdit << QList{undo} << "5" << 5 << applied;
        QTest::newRow("data editor, Ctrl+Y") << ids::kDataEdit << QList{undo, redo} << "59" << 5 << applied;
        QTest::newRow("data editor, Ctrl+Shift+Z")
            << ids::kDataEdit << QList{undo, Qt::CTRL | Qt::SHIFT | Qt::Key_Z} << "59" << 5 << applied;
        QTest::newRow("data editor, menu") << ids::kDataEdit << QList<QKeyCombination>{} << "1" << 1 << "&Undo";
        QTest::newRow("tree") << ids::kTree << QList{undo} << "1" << 1 << "&Undo";
        QTest::newRow("tree, Ctrl+Y") << ids::kTree << QList{undo, redo} << "5" << 5 << applied;
        QTest::newRow("read-only field") << ids::kTypeField << QList{undo} << "1" << 1 << "&Undo";
        // Typing undone in the description box takes its step back too.
        QTest::newRow("description box") << ids::kDescEdit << QList{undo} << "synthetic BYTE" << 5 << applied;
        QTest::newRow("description box, Ctrl+Y")
            << ids::kDescEdit << QList{undo, redo} << "synthetic BYTEX" << 5 << "&Undo Edit description of FLAG";
    }

    void focusDecidesWhatTheKeysUndo()
    {
        QFETCH(int, focus);
        QFETCH(QList<QKeyCombination>, keys);
        QFETCH(QString, shown);
        QFETCH(int, flag);
        QFETCH(QString, undo);
        h->ApplyData(m_nFlag, QStringLiteral("5"));
        QPlainTextEdit* box = focus == ids::kDescEdit ? h->Dlg().DescEdit() : h->Dlg().DataEdit();
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClicks(box, focus == ids::kDescEdit ? QStringLiteral("X") : QStringLiteral("9"));
        for (const QKeyCombination combination : keys)
            Keys(h->Control(focus), combination);
        if (keys.isEmpty())
            Item(ids::kCmdUndo)->trigger();

        QCOMPARE(box->toPlainText(), shown);
        QCOMPARE(int(h->Chunk(m_nFlag).m_pData.get()[0]), flag);
        QCOMPARE(Item(ids::kCmdUndo)->text().section('\t', 0, 0), undo);
    }

    // The step's node is selected, its closed branches opened, and the
    // panes and the tree show what it holds now.
    void aStepIsShownWhereItWasMade()
    {
        QTreeView* tree = h->Dlg().TreeCtrl();
        h->ApplyData(m_nFlag, QStringLiteral("5"));
        const NodeId file = h->Dlg().Document().Tree().GetRootItem();
        h->Select(file);
        tree->collapseAll();
        Item(ids::kCmdUndo)->trigger();
        QCOMPARE(h->Selected(), m_nFlag);
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), QStringLiteral("1"));
        QVERIFY(tree->isExpanded(h->Dlg().TreeModel().IndexFromNode(h->Dlg().Document().Tree().GetParentItem(m_nFlag))));

        // A step that renames chunks: the tree follows it back and forth.
        CFieldDesc entry{"renamed", "TOTAL", "DWORD"};
        QVERIFY(!h->Dlg().Session().SetEntry("00020003", entry, m_nCount).Refused());
        h->Select(file);
        const QModelIndex count = h->Dlg().TreeModel().IndexFromNode(m_nCount);
        Keys(tree, Qt::CTRL | Qt::Key_Z);
        QCOMPARE(count.data().toString(), QStringLiteral("COUNT"));
        QCOMPARE(h->Selected(), m_nCount);
        QCOMPARE(h->Dlg().DescEdit()->toPlainText(), QStringLiteral("synthetic DWORD"));
        Keys(tree, Qt::CTRL | Qt::Key_Y);
        QCOMPARE(count.data().toString(), QStringLiteral("TOTAL"));
        QCOMPARE(h->Dlg().DescEdit()->toPlainText(), QStringLiteral("renamed"));
        QVERIFY(h->prompts.log.isEmpty());
    }
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
