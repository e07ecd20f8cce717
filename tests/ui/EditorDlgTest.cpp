// The main window driven as a user would: clicks and keys, with every
// message box and file dialog answered through the scripted prompts.

#include "CEditorHarness.h"
#include "Version.h"
#include "ui/BuildTitle.h"
#include "ui/CAboutDlg.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CStatusBar.h"
#include "ui/ControlId.h"
#include "ui/EditorIds.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include <map>

using namespace qm;
using namespace qm::test;
using Kind = CScriptedPrompts::Kind;

namespace {

// Every control of the window that has an id.
const int kAllControls[] = {
    ids::kLoad,       ids::kExit,      ids::kTree,         ids::kDescEdit,   ids::kDescReload, ids::kDescApply,
    ids::kHelp,       ids::kTreeGroup, ids::kDataGroup,    ids::kDescGroup,  ids::kSave,       ids::kInfoGroup,
    ids::kTypeField,  ids::kSizeField, ids::kUnpack,       ids::kApplyChanges, ids::kEdit,     ids::kUndoChanges,
    ids::kDataEdit,   ids::kView,      ids::kUnload,       ids::kOffsetField, ids::kTypeIdField,
};

std::map<int, QRect> Geometries(const CEditorHarness& h)
{
    std::map<int, QRect> result;
    for (const int id : kAllControls)
        result[id] = h.Control(id)->geometry();
    return result;
}

bool IsEnabled(const CEditorHarness& h, int id)
{
    return h.Control(id)->isEnabled();
}

} // namespace

class EditorDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CEditorHarness> h;
    std::unique_ptr<QAbstractItemModelTester> tester;

    void Click(int id) { static_cast<QPushButton*>(h->Control(id))->click(); }

private slots:
    void init()
    {
        h = std::make_unique<CEditorHarness>();
        QVERIFY(h->Start());
        tester = std::make_unique<QAbstractItemModelTester>(&h->Dlg().TreeModel(),
                                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        h->Show();
    }

    void cleanup()
    {
        tester.reset();
        h.reset();
    }

    void startsWithTheListedStates()
    {
        QVERIFY(h->prompts.asked.empty());
        for (const int id : {ids::kLoad, ids::kExit, ids::kHelp, ids::kDescReload, ids::kView, ids::kTree,
                             ids::kDescEdit, ids::kDataEdit})
            QVERIFY2(IsEnabled(*h, id), qPrintable(QString::number(id)));
        for (const int id : {ids::kUnpack, ids::kDescApply, ids::kEdit, ids::kUndoChanges, ids::kApplyChanges,
                             ids::kSave, ids::kUnload})
            QVERIFY2(!IsEnabled(*h, id), qPrintable(QString::number(id)));

        for (const int id : {ids::kCmdSave, ids::kCmdUnload, ids::kCmdUnpack, ids::kCmdUnpack2Access,
                             ids::kCmdUnpack2DB})
            QVERIFY(!h->Dlg().MenuItem(id)->isEnabled());
        for (const int id : {ids::kCmdOpen, ids::kCmdExit, ids::kCmdFind, ids::kCmdFindNext, ids::kCmdOptions,
                             ids::kCmdAbout})
            QVERIFY(h->Dlg().MenuItem(id)->isEnabled());

        for (const int id : {ids::kTypeField, ids::kSizeField, ids::kOffsetField, ids::kTypeIdField})
            QVERIFY(static_cast<QLineEdit*>(h->Control(id))->isReadOnly());
        QVERIFY(!h->Dlg().HasUnsavedWork());
        QCOMPARE(h->Dlg().minimumSize(), h->Dlg().size());

        const CStatusBar* bar = h->Dlg().StatusBar();
        QCOMPARE(bar->GetText(0), QStringLiteral("Ready"));
        QCOMPARE(bar->GetText(1), g_strTitle);
        QVERIFY(bar->HasIcon(1));
        QCOMPARE(g_strTitle, QStringLiteral("Quillmere v") + QString::fromLatin1(kVersionText));
        const int w = h->Dlg().width();
        QCOMPARE(h->Dlg().GetStatusParts(), (std::array<int, 3>{w / 4, w - w / 4, -1}));
        QVERIFY(qAbs(bar->GetPartRect(0).right() - w / 4) <= 4);
    }

    void tabOrderFollowsTheTemplateAndSkipsFlatButtons()
    {
        std::vector<int> order;
        QWidget* start = h->Control(ids::kLoad);
        QWidget* widget = start;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->window() == &h->Dlg() &&
                widget->parentWidget() == h->Dlg().ClientArea())
                order.push_back(GetControlId(widget));
            widget = widget->nextInFocusChain();
        } while (widget != start);
        const std::vector<int> expected = {ids::kLoad,   ids::kExit, ids::kTree,     ids::kDescEdit, ids::kHelp,
                                           ids::kSave,   ids::kUnpack, ids::kDataEdit, ids::kUnload};
        QCOMPARE(order, expected);
    }

    void commandsWithNothingLoaded_data()
    {
        QTest::addColumn<int>("focus");
        QTest::addColumn<QKeyCombination>("keys");
        QTest::addColumn<QString>("message");
        QTest::newRow("Ctrl+S in the tree") << ids::kTree << (Qt::CTRL | Qt::Key_S) << "Nothing to save!";
        QTest::newRow("Ctrl+S in the data editor") << ids::kDataEdit << (Qt::CTRL | Qt::Key_S) << "Nothing to save!";
        QTest::newRow("Ctrl+U in the tree") << ids::kTree << (Qt::CTRL | Qt::Key_U) << "Nothing to unload!";
        QTest::newRow("Ctrl+U in the data editor")
            << ids::kDataEdit << (Qt::CTRL | Qt::Key_U) << "Nothing to unload!";
        QTest::newRow("Ctrl+U in the description box")
            << ids::kDescEdit << (Qt::CTRL | Qt::Key_U) << "Nothing to unload!";
    }

    void commandsWithNothingLoaded()
    {
        QFETCH(int, focus);
        QFETCH(QKeyCombination, keys);
        QFETCH(QString, message);
        h->Press(h->Control(focus), keys);

        QCOMPARE(h->prompts.asked.size(), 1u);
        QCOMPARE(h->prompts.asked[0].kind, Kind::Message);
        QCOMPARE(h->prompts.asked[0].text, message);
        QCOMPARE(h->prompts.asked[0].icon, MessageIcon::Stop);
        QVERIFY(!IsEnabled(*h, ids::kSave));
        QVERIFY(!h->Dlg().MenuItem(ids::kCmdSave)->isEnabled());
        QVERIFY(h->Dlg().isVisible());
    }

    void loadReportsEachFailingFile_data()
    {
        QTest::addColumn<QStringList>("names");  // "-" marks an empty file, "?" a missing one
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("errors");
        QTest::newRow("second of three empty") << QStringList{"a.mob", "-b.mob", "c.mob"} << 2 << 1;
        QTest::newRow("last of two missing") << QStringList{"a.mob", "?b.mob"} << 1 << 1;
        QTest::newRow("all load") << QStringList{"a.mob", "b.mob"} << 2 << 0;
    }

    void loadReportsEachFailingFile()
    {
        QFETCH(QStringList, names);
        QFETCH(int, loaded);
        QFETCH(int, errors);
        QStringList paths;
        for (QString name : names) {
            if (name.startsWith('-'))
                paths << h->WriteFile(name.mid(1), {});
            else if (name.startsWith('?'))
                paths << h->Path(name.mid(1));
            else
                paths << h->WriteSample(name);
        }
        h->Open(paths);

        const auto messages = h->prompts.Asked(Kind::Message);
        QCOMPARE(static_cast<int>(messages.size()), errors);
        for (const auto& message : messages) {
            QVERIFY(message.text.startsWith(QStringLiteral("Load error!\n")));
            QCOMPARE(message.icon, MessageIcon::Stop);
        }
        QCOMPARE(h->Dlg().GetLoadedFiles(), loaded);
        QCOMPARE(h->Dlg().TreeModel().rowCount(), loaded);
        QCOMPARE(h->Dlg().GetLastPath(), paths.back());
        for (const int id : {ids::kSave, ids::kUnload})
            QVERIFY(IsEnabled(*h, id));
        for (const int id : {ids::kCmdSave, ids::kCmdUnload})
            QVERIFY(h->Dlg().MenuItem(id)->isEnabled());
        QVERIFY(h->Dlg().TreeCtrl()->isEnabled());
    }

    void cancelledOpenChangesNothing()
    {
        const QString first = h->WriteSample(QStringLiteral("a.mob"));
        h->Open({first});
        h->Open({});
        QCOMPARE(h->Dlg().GetLastPath(), first);
        QCOMPARE(h->Dlg().GetLoadedFiles(), 1);
        QVERIFY(h->prompts.Messages().empty());
    }

    void saveRefusesTwoFilesUntilUnloaded()
    {
        h->Open({h->WriteSample(QStringLiteral("a.mob")), h->WriteSample(QStringLiteral("b.mob"))});
        h->Press(h->Dlg().TreeCtrl(), Qt::CTRL | Qt::Key_S);

        QCOMPARE(h->prompts.Messages(), std::vector<QString>{QStringLiteral("Can't save more than one file!")});
        QVERIFY(h->prompts.Asked(Kind::SaveFile).empty());
        QVERIFY(!IsEnabled(*h, ids::kSave));
        QVERIFY(h->Dlg().MenuItem(ids::kCmdSave)->isEnabled());

        h->Press(h->Dlg().TreeCtrl(), Qt::CTRL | Qt::Key_U);
        h->Open({h->WriteSample(QStringLiteral("c.mob"))});
        h->prompts.Clear();
        h->Dlg().MenuItem(ids::kCmdSave)->trigger();
        QCOMPARE(h->prompts.Asked(Kind::SaveFile).size(), 1u);
    }

    void unloadEmptiesAndKeysRestart()
    {
        const QString path = h->WriteSample(QStringLiteral("a.mob"));
        h->Open({path, path});
        CMobDocument& doc = h->Dlg().Document();
        QCOMPARE(doc.Tree().GetItemData(doc.Tree().GetRootItem()), 1);

        Click(ids::kUnload);
        QVERIFY(h->prompts.Messages().empty());
        QCOMPARE(h->Dlg().TreeModel().rowCount(), 0);
        QCOMPARE(doc.Tree().GetCount(), 0u);
        QCOMPARE(h->Dlg().GetLoadedFiles(), 0);
        QCOMPARE(h->Dlg().GetLastPath(), path);
        for (const int id : {ids::kSave, ids::kUnload})
            QVERIFY(!IsEnabled(*h, id));
        for (const int id : {ids::kCmdSave, ids::kCmdUnload})
            QVERIFY(!h->Dlg().MenuItem(id)->isEnabled());

        h->Open({path});
        const NodeId root = doc.Tree().GetRootItem();
        QCOMPARE(doc.Tree().GetItemData(root), 1);
        QCOMPARE(CChunkTreeModel::NodeFromIndex(h->Dlg().TreeModel().index(0, 0)), root);

        h->Dlg().MenuItem(ids::kCmdUnload)->trigger();
        h->Press(h->Dlg().TreeCtrl(), Qt::CTRL | Qt::Key_S);
        h->Press(h->Dlg().TreeCtrl(), Qt::CTRL | Qt::Key_U);
        QCOMPARE(h->prompts.Messages(),
                 (std::vector<QString>{QStringLiteral("Nothing to save!"), QStringLiteral("Nothing to unload!")}));
    }

    void save_data()
    {
        QTest::addColumn<QString>("target");  // empty: the dialog is cancelled
        QTest::addColumn<QString>("message");
        QTest::newRow("round trip") << "out.mob" << "Saved file: ";
        QTest::newRow("missing folder") << "no/such/folder/out.mob" << "Save error!";
        QTest::newRow("cancelled") << "" << "";
    }

    void save()
    {
        QFETCH(QString, target);
        QFETCH(QString, message);
        const QString source = h->WriteSample(QStringLiteral("in.mob"));
        h->Open({source});
        h->Dlg().Document().MarkModified();
        const QString path = target.isEmpty() ? QString() : h->Path(target);
        h->prompts.saveAnswers.push_back(path);
        h->Press(h->Dlg().TreeCtrl(), Qt::CTRL | Qt::Key_S);

        const auto asked = h->prompts.Asked(Kind::SaveFile);
        QCOMPARE(asked.size(), 1u);
        QCOMPARE(asked[0].request.title, QStringLiteral("Save MOB file(s)"));
        QCOMPARE(asked[0].request.initialPath, source);
        const auto messages = h->prompts.Asked(Kind::Message);
        QCOMPARE(messages.size(), message.isEmpty() ? 0u : 1u);
        const bool saved = message.startsWith(QStringLiteral("Saved"));
        if (!message.isEmpty()) {
            QVERIFY(messages[0].text.startsWith(message));
            QCOMPARE(messages[0].icon, saved ? MessageIcon::None : MessageIcon::Stop);
        }
        if (saved) {
            QCOMPARE(messages[0].text, message + path);
            QCOMPARE(ReadBytes(path), ReadBytes(source));
        }
        QCOMPARE(h->Dlg().GetLastPath(), saved ? path : source);
        QCOMPARE(h->Dlg().HasUnsavedWork(), !saved);
    }

    void growingMovesOnlyTheAnchoredEdges()
    {
        const auto before = Geometries(*h);
        const QRect partOne = h->Dlg().StatusBar()->GetPartRect(0);
        const QRect partTwo = h->Dlg().StatusBar()->GetPartRect(1);
        h->Dlg().resize(h->Dlg().width() + 50, h->Dlg().height() + 30);
        const auto after = Geometries(*h);

        // Right and bottom edge growth by control.
        const std::map<int, QPoint> grown = {
            {ids::kTreeGroup, {0, 30}}, {ids::kTree, {0, 30}},     {ids::kDescGroup, {50, 0}},
            {ids::kDescEdit, {50, 0}},  {ids::kDataGroup, {50, 30}}, {ids::kDataEdit, {50, 30}},
        };
        for (const int id : kAllControls) {
            const QPoint growth = grown.count(id) ? grown.at(id) : QPoint();
            const QRect& was = before.at(id);
            const QRect expected(was.topLeft(), was.size() + QSize(growth.x(), growth.y()));
            QVERIFY2(after.at(id) == expected, qPrintable(QString::number(id)));
        }
        // The status bar follows the bottom edge; its parts keep the widths
        // computed at start.
        const CStatusBar* bar = h->Dlg().StatusBar();
        const QWidget* client = h->Dlg().ClientArea();
        QCOMPARE(bar->geometry().bottom(), client->height() - 1);
        QCOMPARE(bar->width(), client->width());
        QCOMPARE(bar->GetPartRect(0), partOne);
        QCOMPARE(bar->GetPartRect(1), partTwo);
    }

    void shrinkingBelowTheStartAndGrowingBackRestores()
    {
        const QSize start = h->Dlg().size();
        const auto before = Geometries(*h);

        h->Dlg().resize(start - QSize(100, 80));
        QCOMPARE(h->Dlg().size(), start);  // the smallest size holds

        // A platform may still make the window smaller (minimising does).
        h->Dlg().setMinimumSize(0, 0);
        h->Dlg().resize(start - QSize(100, 80));
        QCOMPARE(Geometries(*h), before);
        h->Dlg().resize(start + QSize(10, 10));
        QVERIFY(Geometries(*h) != before);
        h->Dlg().resize(start);
        QCOMPARE(Geometries(*h), before);
    }

    void closing_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("unsaved");  // "", "file" or "descriptions"
        const char* ways[] = {"Escape in tree",  "Escape in description", "Alt+X in data editor", "Enter in tree",
                              "Enter in field",  "Exit button",           "Exit menu item",       "close box"};
        for (const char* way : ways) {
            for (const char* unsaved : {"", "file", "descriptions"})
                QTest::addRow("%s, unsaved: %s", way, *unsaved ? unsaved : "none") << way << unsaved;
        }
    }

    void closing()
    {
        QFETCH(QString, way);
        QFETCH(QString, unsaved);
        if (unsaved == QLatin1String("file"))
            h->Dlg().Document().MarkModified();
        if (unsaved == QLatin1String("descriptions"))
            h->Control(ids::kDescApply)->setEnabled(true);

        const auto tryClose = [&] {
            if (way == QLatin1String("Escape in tree"))
                h->Press(h->Dlg().TreeCtrl(), QKeyCombination(Qt::Key_Escape));
            else if (way == QLatin1String("Escape in description"))
                h->Press(h->Dlg().DescEdit(), QKeyCombination(Qt::Key_Escape));
            else if (way == QLatin1String("Alt+X in data editor"))
                h->Press(h->Dlg().DataEdit(), Qt::ALT | Qt::Key_X);
            else if (way == QLatin1String("Enter in tree"))
                h->Press(h->Dlg().TreeCtrl(), QKeyCombination(Qt::Key_Return));
            else if (way == QLatin1String("Enter in field"))
                h->Press(h->Control(ids::kTypeField), QKeyCombination(Qt::Key_Return));
            else if (way == QLatin1String("Exit button"))
                Click(ids::kExit);
            else if (way == QLatin1String("Exit menu item"))
                h->Dlg().MenuItem(ids::kCmdExit)->trigger();
            else
                h->Dlg().close();
        };

        if (unsaved.isEmpty()) {
            tryClose();
            QVERIFY(h->prompts.asked.empty());
            QVERIFY(!h->Dlg().isVisible());
            return;
        }
        h->prompts.yesNoAnswers = {false};
        tryClose();
        QCOMPARE(h->prompts.Asked(Kind::YesNo).size(), 1u);
        QVERIFY(h->prompts.asked[0].text.endsWith(QStringLiteral("Close anyway?")));
        QVERIFY(h->Dlg().isVisible());

        h->prompts.yesNoAnswers = {true};
        tryClose();
        QCOMPARE(h->prompts.Asked(Kind::YesNo).size(), 2u);
        QVERIFY(!h->Dlg().isVisible());
    }

    void enterInTheEditorsDoesNotClose()
    {
        h->Press(h->Dlg().DataEdit(), QKeyCombination(Qt::Key_Return));
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), QStringLiteral("\n"));
        h->Press(h->Dlg().DescEdit(), QKeyCombination(Qt::Key_Return));
        QVERIFY(h->Dlg().DescEdit()->toPlainText().isEmpty());
        QVERIFY(h->Dlg().isVisible());

        h->Press(h->Control(ids::kLoad), QKeyCombination(Qt::Key_Return));
        QCOMPARE(h->prompts.Asked(Kind::OpenFiles).size(), 1u);
        QVERIFY(h->Dlg().isVisible());
    }

    void aboutOpensFromButtonAndMenu()
    {
        QStringList lines;
        h->prompts.onModal = [&](QDialog& dialog) {
            lines << static_cast<CAboutDlg&>(dialog).GetVersionLine();
        };
        Click(ids::kHelp);
        h->Dlg().MenuItem(ids::kCmdAbout)->trigger();
        const auto asked = h->prompts.Asked(Kind::Modal);
        QCOMPARE(asked.size(), 2u);
        for (const auto& prompt : asked)
            QCOMPARE(prompt.text, QStringLiteral("About Quillmere"));
        QCOMPARE(lines, (QStringList{g_strTitle, g_strTitle}));
    }
};

QTEST_MAIN(EditorDlgTest)
#include "EditorDlgTest.moc"
