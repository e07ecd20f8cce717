// Find and Find Next as the window adds them to the tree search: the Find
// window, upper-casing by code page, and showing what was found.

#include "CEditorHarness.h"
#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"
#include "ui/EditorIds.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <optional>

using namespace qm;
using namespace qm::test;
using namespace qm::tools;

namespace {

constexpr std::uint32_t kIdContainer = 0x1000;
constexpr std::uint32_t kIdPose = 0x2006;

// Names are bytes: ПРИВЕТ in Windows-1251, GRÜßE in Windows-1252.
const std::string kDescriptions = "0x00001000\tREC\tGROUP\r\n0x00002001\tBYTE\tPOSITION\r\n"
                                  "0x00002002\tBYTE\tXPOS\r\n0x00002004\tBYTE\t\xCF\xD0\xC8\xC2\xC5\xD2\r\n"
                                  "0x00002005\tBYTE\tGR\xDC\xDF" "E\r\n0x00002006\tBYTE\tPOSE\r\n";

} // namespace

class FindTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;

    const CChunkTree& Tree() { return h->Dlg().Document().Tree(); }

    // The first node with that label; a file's node by the file's name.
    NodeId Node(const QString& name)
    {
        return h->NodeByLabel(h->Dlg().CodePage().Encode(name.endsWith(QLatin1String(".mob")) ? h->Path(name) : name));
    }

    void Press(QKeyCombination keys) { h->Press(h->Dlg().TreeCtrl(), keys); }

    // Opens Find from the node, types the text and presses Find Next.
    void Find(NodeId start, const QString& text)
    {
        h->Select(start);
        Press(Qt::CTRL | Qt::Key_F);
        QVERIFY(h->Dlg().FindDlg());
        h->Dlg().FindDlg()->FindWhat()->setText(text);
        h->Dlg().FindDlg()->FindNextButton()->click();
    }

    void ExpectNotFound(const QString& upper)
    {
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("info: Cannot find \"%1\"").arg(upper)});
    }

    // The node is selected, shown in the panes, its ancestors open and its
    // row on screen.
    void ExpectShown(NodeId node)
    {
        QCOMPARE(h->Selected(), node);
        QCOMPARE(h->FieldText(ids::kTypeIdField), QString::asprintf("0x%08X", h->Chunk(node).m_nId));
        QTreeView* view = h->Dlg().TreeCtrl();
        for (NodeId parent = Tree().GetParentItem(node); parent != kNoNode; parent = Tree().GetParentItem(parent))
            QVERIFY(view->isExpanded(h->Dlg().TreeModel().IndexFromNode(parent)));
        QVERIFY(view->viewport()->rect().intersects(view->visualRect(h->Dlg().TreeModel().IndexFromNode(node))));
    }

private slots:
    void init()
    {
        h.emplace(kDescriptions);
        QVERIFY(h->Start());
        // a.mob: GROUP (POSITION, GROUP (GROUP (POSE))), XPOS; b.mob: ПРИВЕТ, GRÜßE
        ChunkBuilder a;
        a.Begin(kIdContainer).Chunk(0x2001, {1}).Begin(kIdContainer).Begin(kIdContainer).Chunk(kIdPose, {2});
        a.End().End().End().Chunk(0x2002, {3});
        ChunkBuilder b;
        b.Chunk(0x2004, {6}).Chunk(0x2005, {7});
        h->Open({h->WriteFile(QStringLiteral("a.mob"), a.Bytes()), h->WriteFile(QStringLiteral("b.mob"), b.Bytes())});
    }

    void cleanup() { h.reset(); }

    void findNextBeforeAnySearchOpensTheWindow()
    {
        Press(QKeyCombination(Qt::Key_F3));
        QPointer<CMyFindDlg> find = h->Dlg().FindDlg();
        QVERIFY(find && find->isVisible());
        QVERIFY(!find->FindNextButton()->isEnabled());
        QVERIFY(h->prompts.log.isEmpty());

        // A second Find brings the same window forward.
        Press(Qt::CTRL | Qt::Key_F);
        QCOMPARE(h->Dlg().FindDlg(), find.data());
        const auto windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.begin(), windows.end(),
                               [](const QWidget* w) { return qobject_cast<const CMyFindDlg*>(w) && w->isVisible(); }),
                 1);
        find->close();
        QTRY_VERIFY(!find);
        Press(QKeyCombination(Qt::Key_F3));
        QVERIFY(h->Dlg().FindDlg());
    }

    void search_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("upper");
        QTest::addColumn<QString>("found");  // empty: not found
        QTest::newRow("inside closed containers") << "POSITION" << 1252 << "pos" << "POS" << "POSE";
        QTest::newRow("ß stays, in a later file") << "a.mob" << 1252 << "grüße" << "GRÜßE" << "GRÜßE";
        QTest::newRow("Cyrillic by its code page") << "b.mob" << 1251 << "привет" << "ПРИВЕТ" << "ПРИВЕТ";
        QTest::newRow("Cyrillic outside the code page") << "b.mob" << 1252 << "привет" << "ПРИВЕТ" << "";
    }

    void search()
    {
        QFETCH(QString, start);
        QFETCH(int, codePage);
        QFETCH(QString, typed);
        QFETCH(QString, upper);
        QFETCH(QString, found);
        h->Dlg().SetCodePage(codePage);
        const NodeId startNode = Node(start);
        QVERIFY(startNode != kNoNode);
        Find(startNode, typed);

        QCOMPARE(h->Dlg().GetFindString(), upper);
        if (found.isEmpty()) {
            ExpectNotFound(upper);
            QCOMPARE(h->Selected(), startNode);
            return;
        }
        QVERIFY(h->prompts.log.isEmpty());
        ExpectShown(Node(found));
        // The tree reads the label's bytes in the same code page.
        QCOMPARE(h->Dlg().TreeModel().IndexFromNode(Node(found)).data().toString(), found);
    }

    void findNextGoesOnFromTheMatch()
    {
        Find(Node(QStringLiteral("a.mob")), QStringLiteral("pos"));
        ExpectShown(Node(QStringLiteral("POSITION")));
        Press(QKeyCombination(Qt::Key_F3));
        ExpectShown(Node(QStringLiteral("POSE")));
        QVERIFY(h->prompts.log.isEmpty());

        // The search text outlives the Find window.
        h->Dlg().FindDlg()->close();
        Press(QKeyCombination(Qt::Key_F3));
        ExpectNotFound(QStringLiteral("POS"));
        QCOMPARE(h->Selected(), Node(QStringLiteral("POSE")));
    }

    void aHundredThousandLevelsDeep()
    {
        constexpr int kDepth = 100'000;
        ChunkBuilder b;
        for (int level = 0; level < kDepth; ++level)
            b.Begin(kIdContainer);
        b.Chunk(kIdPose, {1});
        for (int level = 0; level < kDepth; ++level)
            b.End();
        h->Open({h->WriteFile(QStringLiteral("deep.mob"), b.Bytes())});
        const NodeId file = Node(QStringLiteral("deep.mob"));

        Find(file, QStringLiteral("POSE"));
        const NodeId pose = static_cast<NodeId>(Tree().GetCount());
        QCOMPARE(h->Selected(), pose);
        QCOMPARE(h->FieldText(ids::kTypeIdField), QStringLiteral("0x00002006"));
        QVERIFY(h->Dlg().TreeCtrl()->isExpanded(h->Dlg().TreeModel().IndexFromNode(file + 1)));
        QApplication::processEvents();
        Find(pose, QStringLiteral("NOWHERE"));
        ExpectNotFound(QStringLiteral("NOWHERE"));

        // '*' opens everything below, as deep as the view can lay out.
        h->Dlg().FindDlg()->close();
        h->Select(file);
        Press(QKeyCombination(Qt::Key_Asterisk));
        QApplication::processEvents();
        QVERIFY(h->Dlg().TreeCtrl()->isExpanded(h->Dlg().TreeModel().IndexFromNode(file + 500)));
    }
};

QTEST_MAIN(FindTest)
#include "FindTest.moc"
