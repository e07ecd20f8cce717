// Structure editing in the window: scripts of the tree's context menu and
// keys, checked byte for byte against files built with the chunk builder,
// undone and redone; the view following every change without a reset; and
// every refusal told in a box with nothing changed.

#include "CEditorHarness.h"
#include "tools/ChunkBuilder.h"
#include "ui/CInsertChunkDlg.h"
#include "ui/ChunkClipboard.h"
#include "ui/EditorIds.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <initializer_list>
#include <optional>

using namespace qm;
using namespace qm::test;
using namespace qm::tools;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Path = std::initializer_list<int>;

Bytes ReadAll(const QString& path)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return {bytes.begin(), bytes.end()};
}

// a.mob: GROUP (COUNT 7, GROUP (FLAG 1, [00007777] "unknown")), FLAG 0.
ChunkBuilder& InnerGroup(ChunkBuilder& b)
{
    return b.Begin(kIdGroup).Chunk(kIdFlag, {1}).Chunk(0x7777, "unknown").End();
}
const Bytes kFileA = [] {
    ChunkBuilder b;
    InnerGroup(b.Begin(kIdGroup).Chunk(kIdCount, U32Bytes({7}))).End();
    return b.Chunk(kIdFlag, {0}).Bytes();
}();
// b.mob: GROUP (FLAG 2).
const Bytes kFileB = ChunkBuilder().Begin(kIdGroup).Chunk(kIdFlag, {2}).End().Bytes();

// One user action on the node at a path of rows (file, child, ...).
struct Step {
    Path at;
    char action;  // x: menu item id, k: keys, i: insert the typed id
    int id = 0;
    QKeyCombination keys{};
    QString typed{};
};
Step Menu(Path at, int id) { return {at, 'x', id}; }
Step Keys(Path at, QKeyCombination keys) { return {at, 'k', 0, keys}; }
Step Insert(Path at, const QString& typed) { return {at, 'i', ids::kCmdInsertChunk, {}, typed}; }

} // namespace

class StructureTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;
    QString m_strA;
    QString m_strB;

    QTreeView* Tree() { return h->Dlg().TreeCtrl(); }
    QModelIndex Index(Path rows)
    {
        QModelIndex index;
        for (const int row : rows)
            index = h->Dlg().TreeModel().index(row, 0, index);
        return index;
    }
    NodeId Node(Path rows) { return CChunkTreeModel::NodeFromIndex(Index(rows)); }

    void Run(const Step& step)
    {
        h->Select(Node(step.at));
        QVERIFY(h->Selected() != kNoNode);
        switch (step.action) {
        case 'x': h->Dlg().MenuItem(step.id)->trigger(); break;
        case 'k': h->Press(Tree(), step.keys); break;
        case 'i':
            h->prompts.modal = [&](QDialog& dialog) {
                static_cast<CInsertChunkDlg&>(dialog).IdBox()->setEditText(step.typed);
                dialog.accept();
            };
            h->Dlg().MenuItem(ids::kCmdInsertChunk)->trigger();
            h->prompts.log.removeAll(QStringLiteral("modal: Insert chunk"));
            break;
        default: QFAIL("no such action");
        }
    }

    // The file of the row saved through its own "Save this file as".
    Bytes Saved(int fileRow)
    {
        const QString path = h->Path(QStringLiteral("saved%1.mob").arg(fileRow));
        h->Select(Node({fileRow}));
        h->prompts.save.push_back(path);
        const qsizetype logged = h->prompts.log.size();
        h->Dlg().MenuItem(ids::kCmdSaveThisFileAs)->trigger();
        h->prompts.log.remove(logged, h->prompts.log.size() - logged);
        return ReadAll(path);
    }

    // Every node the view can reach, in order, against the core's tree.
    void ExpectViewFollowsTree()
    {
        const CChunkTree& tree = h->Dlg().Document().Tree();
        std::vector<NodeId> shown;
        std::vector<NodeId> core;
        for (NodeId node = tree.GetRootItem(); node != kNoNode; node = tree.NextInPreOrder(node, kNoNode))
            core.push_back(node);
        const std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
            const int rows = h->Dlg().TreeModel().rowCount(parent);
            for (int row = 0; row < rows; ++row) {
                const QModelIndex child = h->Dlg().TreeModel().index(row, 0, parent);
                shown.push_back(CChunkTreeModel::NodeFromIndex(child));
                walk(child);
            }
        };
        walk(QModelIndex());
        QCOMPARE(shown, core);
    }

    void Check(const std::vector<Step>& steps, const Bytes& expectA, const Bytes& expectB = kFileB)
    {
        QSignalSpy reset(&h->Dlg().TreeModel(), &QAbstractItemModel::modelReset);
        for (const Step& step : steps)
            Run(step);
        QCOMPARE(h->prompts.log, QStringList());
        ExpectViewFollowsTree();
        QVERIFY(Tree()->isExpanded(Index({0})));
        QCOMPARE(Saved(0), expectA);
        QCOMPARE(Saved(1), expectB);
        // Undone step by step, the files are as loaded; redone, as edited.
        for (std::size_t i = 0; i < steps.size(); ++i)
            h->Press(Tree(), Qt::CTRL | Qt::Key_Z);
        ExpectViewFollowsTree();
        QCOMPARE(Saved(0), kFileA);
        QCOMPARE(Saved(1), kFileB);
        for (std::size_t i = 0; i < steps.size(); ++i)
            h->Press(Tree(), Qt::CTRL | Qt::Key_Y);
        QCOMPARE(Saved(0), expectA);
        QCOMPARE(Saved(1), expectB);
        QCOMPARE(reset.count(), 0);
    }

    // A refused action: its message, no step, the files as they were.
    void Refused(const Step& step, const QString& message)
    {
        Run(step);
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("stop: ") + message});
        h->prompts.log.clear();
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdUndo)->isEnabled());
        QCOMPARE(Saved(0), kFileA);
    }

private slots:
    void init()
    {
        h.emplace();
        QVERIFY(h->Start());
        m_strA = h->WriteFile(QStringLiteral("a.mob"), kFileA);
        m_strB = h->WriteFile(QStringLiteral("b.mob"), kFileB);
        h->Open({m_strA, m_strB});
        Tree()->expandAll();
        QApplication::clipboard()->clear();
    }
    void cleanup() { h.reset(); }

    void deleteDuplicateAndMove()
    {
        const auto outer = [](const std::function<void(ChunkBuilder&)>& inside) {
            ChunkBuilder b;
            b.Begin(kIdGroup);
            inside(b);
            return b.End().Chunk(kIdFlag, {0}).Bytes();
        };
        const auto count = [](ChunkBuilder& b) { b.Chunk(kIdCount, U32Bytes({7})); };
        struct Row {
            const char* name;
            std::vector<Step> steps;
            Bytes expectA;
        };
        const Row rows[] = {
            {"delete to an empty container",
             {Keys({0, 0, 1, 1}, QKeyCombination(Qt::Key_Delete)), Menu({0, 0, 1, 0}, ids::kCmdDeleteChunk)},
             outer([&](ChunkBuilder& b) {
                 count(b);
                 b.Begin(kIdGroup).End();
             })},
            {"duplicate", {Keys({0, 0, 0}, Qt::CTRL | Qt::Key_D)},
             outer([&](ChunkBuilder& b) {
                 count(b);
                 count(b);
                 InnerGroup(b);
             })},
            {"move the first down, the last up",
             {Keys({0, 0, 0}, Qt::ALT | Qt::Key_Down), Menu({0, 1}, ids::kCmdMoveChunkUp)},
             [] {
                 ChunkBuilder b;
                 b.Chunk(kIdFlag, {0}).Begin(kIdGroup);
                 InnerGroup(b).Chunk(kIdCount, U32Bytes({7}));
                 return b.End().Bytes();
             }()},
            {"insert into a container, by typed id", {Insert({0, 0, 1}, QStringLiteral("0x20001"))},
             outer([&](ChunkBuilder& b) {
                 count(b);
                 b.Begin(kIdGroup).Chunk(kIdFlag, {1}).Chunk(0x7777, "unknown").Chunk(kIdFlag, {}).End();
             })},
            {"insert after a leaf, by name", {Insert({0, 1}, QStringLiteral("COUNT (0x00020003)"))},
             [&] {
                 Bytes bytes = kFileA;
                 const Bytes empty = ChunkBuilder().Chunk(kIdCount, {}).Bytes();
                 bytes.insert(bytes.end(), empty.begin(), empty.end());
                 return bytes;
             }()},
            {"cut and paste after a leaf",
             {Keys({0, 0, 0}, Qt::CTRL | Qt::Key_X), Keys({0, 1}, Qt::CTRL | Qt::Key_V)},
             [] {
                 ChunkBuilder b;
                 InnerGroup(b.Begin(kIdGroup)).End();
                 return b.Chunk(kIdFlag, {0}).Chunk(kIdCount, U32Bytes({7})).Bytes();
             }()},
            {"copy a container and paste into the file",
             {Keys({0, 0, 1}, Qt::CTRL | Qt::Key_C), Menu({0}, ids::kCmdPasteChunks)},
             [&] {
                 Bytes bytes = kFileA;
                 ChunkBuilder b;
                 const Bytes inner = InnerGroup(b).Bytes();
                 bytes.insert(bytes.end(), inner.begin(), inner.end());
                 return bytes;
             }()},
        };
        for (const Row& row : rows) {
            qInfo("%s", row.name);
            init();
            Check(row.steps, row.expectA);
            if (QTest::currentTestFailed())
                return;
        }
    }

    void cutAndPasteAcrossFiles()
    {
        // b.mob's only flag into a.mob's inner group, at its end.
        Check({Menu({1, 0, 0}, ids::kCmdCutChunk), Keys({0, 0, 1}, Qt::CTRL | Qt::Key_V)},
              [] {
                  ChunkBuilder b;
                  b.Begin(kIdGroup).Chunk(kIdCount, U32Bytes({7}));
                  b.Begin(kIdGroup).Chunk(kIdFlag, {1}).Chunk(0x7777, "unknown").Chunk(kIdFlag, {2}).End();
                  return b.End().Chunk(kIdFlag, {0}).Bytes();
              }(),
              ChunkBuilder().Begin(kIdGroup).End().Bytes());
    }

    void clipboardCarriesBytesAndHex()
    {
        Run(Keys({0, 1}, Qt::CTRL | Qt::Key_C));
        const QMimeData* data = QApplication::clipboard()->mimeData();
        const Bytes flag = ChunkBuilder().Chunk(kIdFlag, {0}).Bytes();
        QCOMPARE(data->data(kChunksMimeType), QByteArray(reinterpret_cast<const char*>(flag.data()), 9));
        QCOMPARE(data->text(), QStringLiteral("01 00 02 00 09 00 00 00 00\n"));

        // Hex text from another program pastes as well; other text does not.
        QApplication::clipboard()->setText(QStringLiteral("01 00 02 00\r\n09000000 05"));
        Run(Keys({1, 0}, Qt::CTRL | Qt::Key_V));
        QCOMPARE(Saved(1), ChunkBuilder().Begin(kIdGroup).Chunk(kIdFlag, {2}).Chunk(kIdFlag, {5}).End().Bytes());
        h->Press(Tree(), Qt::CTRL | Qt::Key_Z);
        QApplication::clipboard()->setText(QStringLiteral("01 00 02 00 09 00 00 00 0G"));
        Refused(Keys({0, 1}, Qt::CTRL | Qt::Key_V), QStringLiteral("The clipboard holds no chunks."));
    }

    void refusalsChangeNothing()
    {
        Refused(Keys({0}, QKeyCombination(Qt::Key_Delete)),
                QStringLiteral("A file is not deleted this way; Unload drops the loaded files."));
        Refused(Keys({0, 0, 0}, Qt::ALT | Qt::Key_Up), QStringLiteral("COUNT is the first chunk of its list already."));
        Refused(Keys({0, 1}, Qt::ALT | Qt::Key_Down), QStringLiteral("FLAG is the last chunk of its list already."));
        Refused(Keys({0, 1}, Qt::CTRL | Qt::Key_V), QStringLiteral("The clipboard holds no chunks."));
        Refused(Insert({0, 1}, QStringLiteral("12345678A")),
                QStringLiteral("\"12345678A\" is not a chunk type: pick a described name, or type the id as up to 8 "
                               "hexadecimal digits."));
        // A chunk whose size runs past the end of what was pasted.
        QApplication::clipboard()->setText(QStringLiteral("01 00 02 00 10 00 00 00 05"));
        Run(Keys({0, 1}, Qt::CTRL | Qt::Key_V));
        QCOMPARE(h->prompts.log.size(), 1);
        QVERIFY(h->prompts.log[0].startsWith(QStringLiteral("stop: These bytes are not a list of chunks.")));
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdUndo)->isEnabled());
    }

    void exportThenImport()
    {
        const QString exported = h->Path(QStringLiteral("inner.mob"));
        h->prompts.save.push_back(exported);
        Run(Menu({0, 0, 1}, ids::kCmdExportChunk));
        ChunkBuilder inner;
        QCOMPARE(ReadAll(exported), InnerGroup(inner).Bytes());

        h->prompts.open.push_back({exported});
        Run(Menu({1, 0, 0}, ids::kCmdImportChunks));
        QCOMPARE(Saved(1), ChunkBuilder().Begin(kIdGroup).Chunk(kIdFlag, {2}).Raw(inner.Bytes()).End().Bytes());
    }

    void textBoxesKeepTheirKeys()
    {
        h->Select(Node({0, 1}));
        QPlainTextEdit* data = h->Dlg().DataEdit();
        data->setFocus();
        data->selectAll();
        QTest::keyClick(data, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(data, Qt::Key_Delete);
        QVERIFY(!QApplication::clipboard()->mimeData()->hasFormat(kChunksMimeType));
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("0"));
        QVERIFY(data->toPlainText().isEmpty());
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdUndo)->isEnabled());
    }

    void viewKeepsWhatIsElsewhere()
    {
        const QPersistentModelIndex inner = Index({0, 0, 1});
        Tree()->collapse(Index({1, 0}));
        Run(Keys({0, 0, 0}, QKeyCombination(Qt::Key_Delete)));
        QVERIFY(Tree()->isExpanded(inner));
        QVERIFY(!Tree()->isExpanded(Index({1, 0})));
        // The next chunk takes the deleted one's place in the selection.
        QCOMPARE(h->Selected(), CChunkTreeModel::NodeFromIndex(inner));
    }

    void contextMenuOnTheClickedNode()
    {
        QTreeView* tree = Tree();
        const auto rightClick = [&](const QModelIndex& index) {
            const QPoint at = tree->visualRect(index).center();
            QContextMenuEvent request(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
            QApplication::sendEvent(tree->viewport(), &request);
        };
        auto* menu = qobject_cast<QMenu*>(h->Dlg().MenuItem(ids::kCmdDeleteChunk)->parent());
        QVERIFY(menu);
        h->Select(Node({0, 1}));
        rightClick(Index({0, 0}));
        QVERIFY(menu->isVisible());
        QCOMPARE(h->Selected(), Node({0, 0}));
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdSaveThisFile)->isVisible());
        menu->hide();

        // The menu key opens it on the selected node; a file node offers its own Save.
        h->Select(Node({1}));
        h->Press(tree, QKeyCombination(Qt::Key_Menu));
        QVERIFY(menu->isVisible());
        QVERIFY(h->Dlg().MenuItem(ids::kCmdSaveThisFile)->isVisible());
        menu->hide();
        QVERIFY(h->prompts.log.isEmpty());
    }

    void saveThisFileLeavesTheOtherUnsaved()
    {
        Run(Keys({0, 1}, QKeyCombination(Qt::Key_Delete)));
        Run(Keys({1, 0, 0}, QKeyCombination(Qt::Key_Delete)));
        Run(Menu({1}, ids::kCmdSaveThisFile));
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("message: Saved file: ") + m_strB});
        QCOMPARE(ReadAll(m_strB), ChunkBuilder().Begin(kIdGroup).End().Bytes());
        QCOMPARE(ReadAll(m_strA), kFileA);
        QVERIFY(h->Dlg().isWindowModified());
        // The Save button keeps refusing while two files are loaded.
        h->prompts.log.clear();
        h->Click(ids::kSave);
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("stop: Can't save more than one file!")});
    }
};

QTEST_MAIN(StructureTest)
#include "StructureTest.moc"
