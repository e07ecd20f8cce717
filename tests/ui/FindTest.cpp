// Find and Find Next: the Find window, the search range and case, and
// showing what was found.

#include "CEditorHarness.h"
#include "tools/ChunkBuilder.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"
#include "ui/EditorIds.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

using namespace qm;
using namespace qm::test;

namespace {

constexpr std::uint32_t kIdContainer = 0x1000;
constexpr std::uint32_t kIdPosition = 0x2001;
constexpr std::uint32_t kIdXpos = 0x2002;
constexpr std::uint32_t kIdMixedCase = 0x2003;
constexpr std::uint32_t kIdCyrillic = 0x2004;
constexpr std::uint32_t kIdAccented = 0x2005;
constexpr std::uint32_t kIdPose = 0x2006;

// Names are bytes: ПРИВЕТ in Windows-1251, ÉTÉ in Windows-1252.
const std::string kDescriptions = "0x00001000\tREC\tGROUP\r\n"
                                  "0x00002001\tBYTE\tPOSITION\r\n"
                                  "0x00002002\tBYTE\tXPOS\r\n"
                                  "0x00002003\tBYTE\tPosition\r\n"
                                  "0x00002004\tBYTE\t\xCF\xD0\xC8\xC2\xC5\xD2\r\n"
                                  "0x00002005\tBYTE\t\xC9T\xC9\r\n"
                                  "0x00002006\tBYTE\tPOSE\r\n";

// a.mob: GROUP (POSITION, GROUP (GROUP (POSE))), XPOS, Position
std::vector<std::uint8_t> FirstFile()
{
    ChunkBuilder b;
    b.Begin(kIdContainer)
        .Chunk(kIdPosition, {1})
        .Begin(kIdContainer)
        .Begin(kIdContainer)
        .Chunk(kIdPose, {2})
        .End()
        .End()
        .End()
        .Chunk(kIdXpos, {3})
        .Chunk(kIdMixedCase, {4});
    return b.Bytes();
}

// b.mob: ПРИВЕТ, ÉTÉ
std::vector<std::uint8_t> SecondFile()
{
    ChunkBuilder b;
    b.Chunk(kIdCyrillic, {6}).Chunk(kIdAccented, {7});
    return b.Bytes();
}

QString Hex(std::uint32_t id)
{
    return QString::asprintf("0x%08X", id);
}

} // namespace

class FindTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEditorHarness> h;
    std::unique_ptr<QAbstractItemModelTester> tester;

    const CChunkTree& Tree() { return h->Dlg().Document().Tree(); }

    // A file's name for its node, else a label; labels below the files are
    // unique but for GROUP.
    NodeId Node(const QString& name)
    {
        const NodeId first = Tree().GetRootItem();
        if (name.endsWith(QLatin1String(".mob")))
            return name == QLatin1String("a.mob") ? first : Tree().GetNextSiblingItem(first);
        return h->NodeByLabel(h->Dlg().CodePage().Encode(name));
    }

    void Press(QKeyCombination keys) { h->Press(h->Dlg().TreeCtrl(), keys); }

    // Types the text into the open Find window and presses Find Next.
    void FindNext(const QString& text)
    {
        CMyFindDlg* find = h->Dlg().FindDlg();
        QVERIFY(find);
        find->FindWhat()->setText(text);
        find->FindNextButton()->click();
    }

    void ExpectNotFound(const QString& upper)
    {
        QCOMPARE(h->prompts.Messages(), std::vector<QString>{QStringLiteral("Cannot find \"%1\"").arg(upper)});
        QCOMPARE(h->prompts.asked[0].icon, MessageIcon::Information);
    }

    // The node is selected, shown in the panes and on screen.
    void ExpectShown(NodeId node)
    {
        QCOMPARE(h->Selected(), node);
        const std::int32_t key = Tree().GetItemData(node);
        QCOMPARE(h->FieldText(ids::kTypeIdField), Hex(h->Dlg().Document().Chunks().Lookup(key)->m_nId));
        QTreeView* tree = h->Dlg().TreeCtrl();
        for (NodeId parent = Tree().GetParentItem(node); parent != kNoNode; parent = Tree().GetParentItem(parent))
            QVERIFY(tree->isExpanded(h->Dlg().TreeModel().IndexFromNode(parent)));
        const QRect row = tree->visualRect(h->Dlg().TreeModel().IndexFromNode(node));
        QVERIFY(tree->viewport()->rect().intersects(row));
    }

private slots:
    void init()
    {
        h = std::make_unique<CEditorHarness>();
        h->WriteDescFile(kDescriptions);
        QVERIFY(h->Start());
        tester = std::make_unique<QAbstractItemModelTester>(&h->Dlg().TreeModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        h->Show();
        h->Open({h->WriteFile(QStringLiteral("a.mob"), FirstFile()), h->WriteFile(QStringLiteral("b.mob"), SecondFile())});
        h->prompts.Clear();
    }

    void cleanup()
    {
        tester.reset();
        h.reset();
    }

    void findNextBeforeAnySearchOpensTheWindow()
    {
        Press(QKeyCombination(Qt::Key_F3));
        QPointer<CMyFindDlg> find = h->Dlg().FindDlg();
        QVERIFY(find);
        QVERIFY(find->isVisible());
        QVERIFY(!find->FindNextButton()->isEnabled());
        QVERIFY(h->prompts.asked.empty());

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

        QTest::newRow("first below the file") << "a.mob" << 1252 << "pos" << "POS" << "POSITION";
        QTest::newRow("inside closed containers") << "POSITION" << 1252 << "pos" << "POS" << "POSE";
        QTest::newRow("not in the middle, not lower case") << "XPOS" << 1252 << "pos" << "POS" << "";
        QTest::newRow("lower case after the typed text") << "XPOS" << 1252 << "p" << "P" << "Position";
        QTest::newRow("no ancestor's later siblings") << "POSE" << 1252 << "pos" << "POS" << "";
        QTest::newRow("later files only") << "a.mob" << 1252 << "é" << "É" << "ÉTÉ";
        QTest::newRow("not earlier files") << "b.mob" << 1252 << "group" << "GROUP" << "";
        QTest::newRow("the start node never matches") << "XPOS" << 1252 << "xpos" << "XPOS" << "";
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
        h->Dlg().CodePageItem(codePage)->trigger();
        const NodeId startNode = Node(start);
        QVERIFY(startNode != kNoNode);
        h->Select(startNode);
        Press(Qt::CTRL | Qt::Key_F);
        FindNext(typed);

        QCOMPARE(h->Dlg().GetFindString(), upper);
        if (found.isEmpty()) {
            ExpectNotFound(upper);
            QCOMPARE(h->Selected(), startNode);
            return;
        }
        QVERIFY(h->prompts.asked.empty());
        ExpectShown(Node(found));
        // The tree reads the label's bytes in the same code page.
        QCOMPARE(h->Dlg().TreeModel().IndexFromNode(Node(found)).data().toString(), found);
    }

    void findNextGoesOnFromTheMatch()
    {
        h->Select(Node(QStringLiteral("a.mob")));
        Press(Qt::CTRL | Qt::Key_F);
        FindNext(QStringLiteral("pos"));
        ExpectShown(Node(QStringLiteral("POSITION")));

        Press(QKeyCombination(Qt::Key_F3));
        ExpectShown(Node(QStringLiteral("POSE")));
        QVERIFY(h->prompts.asked.empty());

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
        h->prompts.Clear();
        const NodeId file = Tree().GetNextSiblingItem(Tree().GetNextSiblingItem(Tree().GetRootItem()));
        h->Select(file);

        Press(Qt::CTRL | Qt::Key_F);
        FindNext(QStringLiteral("POSE"));

        const NodeId pose = static_cast<NodeId>(Tree().GetCount());
        QCOMPARE(Tree().GetItemText(pose), std::string_view("POSE"));
        QCOMPARE(h->Selected(), pose);
        QCOMPARE(h->FieldText(ids::kTypeIdField), Hex(kIdPose));
        QVERIFY(h->Dlg().TreeCtrl()->isExpanded(h->Dlg().TreeModel().IndexFromNode(file + 1)));
        QApplication::processEvents();

        FindNext(QStringLiteral("NOWHERE"));
        ExpectNotFound(QStringLiteral("NOWHERE"));

        // '*' opens everything below, as deep as the view can lay out.
        h->Dlg().FindDlg()->close();
        h->Select(file);
        h->Press(h->Dlg().TreeCtrl(), QKeyCombination(Qt::Key_Asterisk));
        QApplication::processEvents();
        QVERIFY(h->Dlg().TreeCtrl()->isExpanded(h->Dlg().TreeModel().IndexFromNode(file + 500)));
    }
};

QTEST_MAIN(FindTest)
#include "FindTest.moc"
