// The main window driven as a user would: clicks and keys, with every
// message box and file dialog answered through the scripted prompts.

#include "CEditorHarness.h"
#include "ui/CCodePage.h"
#include "ui/COptionsDlg.h"
#include "ui/CStatusBar.h"
#include "ui/EditorIds.h"
#include "ui/FileNameText.h"
#include "tools/TempDir.h"

#include "platform/CProcessLock.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <array>
#include <functional>
#include <map>
#include <optional>

using namespace qm;
using namespace qm::test;

namespace {

// Every control of the window that has an id.
const int kAllControls[] = {
    ids::kLoad,      ids::kExit,      ids::kTree,      ids::kDescEdit,     ids::kDescReload, ids::kDescApply,
    ids::kHelp,      ids::kTreeGroup, ids::kDataGroup, ids::kDescGroup,    ids::kSave,       ids::kInfoGroup,
    ids::kTypeField, ids::kSizeField, ids::kUnpack,    ids::kApplyChanges, ids::kEdit,       ids::kUndoChanges,
    ids::kDataEdit,  ids::kView,      ids::kUnload,    ids::kOffsetField,  ids::kTypeIdField,
};

// Keys the window takes before the focused control, a button, a menu item
// and the close box.
const std::pair<const char*, std::function<void(CEditorHarness&)>> kCloseWays[] = {
    {"Escape in description", [](CEditorHarness& h) { h.Press(h.Dlg().DescEdit(), QKeyCombination(Qt::Key_Escape)); }},
    {"Alt+X in data editor", [](CEditorHarness& h) { h.Press(h.Dlg().DataEdit(), Qt::ALT | Qt::Key_X); }},
    {"Enter in tree", [](CEditorHarness& h) { h.Press(h.Dlg().TreeCtrl(), QKeyCombination(Qt::Key_Return)); }},
    {"Exit button", [](CEditorHarness& h) { h.Click(ids::kExit); }},
    {"Exit menu item", [](CEditorHarness& h) { h.Dlg().MenuItem(ids::kCmdExit)->trigger(); }},
    {"close box", [](CEditorHarness& h) { h.Dlg().close(); }},
};

} // namespace

class EditorDlgTest : public QObject {
    Q_OBJECT

private:
    std::optional<CEditorHarness> h;

    void ExpectEnabled(bool enabled, std::initializer_list<int> controls, std::initializer_list<int> commands)
    {
        for (const int id : controls)
            QVERIFY2(h->IsEnabled(id) == enabled, qPrintable(QStringLiteral("control %1").arg(id)));
        for (const int id : commands)
            QVERIFY2(h->Dlg().MenuItem(id)->isEnabled() == enabled, qPrintable(QStringLiteral("command %1").arg(id)));
    }

    std::map<int, QRect> Geometries() const
    {
        std::map<int, QRect> result;
        for (const int id : kAllControls)
            result[id] = h->Control(id)->geometry();
        return result;
    }

    void Keys(QKeyCombination keys) { h->Press(h->Dlg().TreeCtrl(), keys); }

private slots:
    void init()
    {
        h.emplace();
        QVERIFY(h->Start());
    }

    void cleanup() { h.reset(); }

    // The keys work wherever the focus is, text editors included.
    void commandsWithNothingLoaded_data()
    {
        QTest::addColumn<int>("focus");
        QTest::addColumn<QKeyCombination>("keys");
        QTest::addColumn<QString>("message");
        QTest::newRow("Ctrl+S in the data editor")
            << ids::kDataEdit << (Qt::CTRL | Qt::Key_S) << "stop: Nothing to save!";
        QTest::newRow("Ctrl+U in the tree") << ids::kTree << (Qt::CTRL | Qt::Key_U) << "stop: Nothing to unload!";
        QTest::newRow("Ctrl+U in the description")
            << ids::kDescEdit << (Qt::CTRL | Qt::Key_U) << "stop: Nothing to unload!";
    }

    void commandsWithNothingLoaded()
    {
        QFETCH(int, focus);
        QFETCH(QKeyCombination, keys);
        QFETCH(QString, message);
        if (keys.key() == Qt::Key_S)
            h->Control(ids::kSave)->setEnabled(true);  // for the command to disable
        h->Press(h->Control(focus), keys);
        QCOMPARE(h->prompts.log, QStringList{message});  // and no file dialog
        ExpectEnabled(false, {ids::kSave}, {ids::kCmdSave});
        QVERIFY(h->Dlg().isVisible());
    }

    void loadReportsEachFailingFile_data()
    {
        QTest::addColumn<QStringList>("names");  // "-" marks an empty file, "?" a missing one
        QTest::addColumn<int>("loaded");
        QTest::addColumn<QString>("lastLoaded");
        QTest::newRow("second of three empty") << QStringList{"a.mob", "-b.mob", "c.mob"} << 2 << "c.mob";
        QTest::newRow("last of two missing") << QStringList{"a.mob", "?b.mob"} << 1 << "a.mob";
    }

    void loadReportsEachFailingFile()
    {
        QFETCH(QStringList, names);
        QFETCH(int, loaded);
        QFETCH(QString, lastLoaded);
        QStringList paths;
        for (const QString& name : names) {
            if (name.startsWith('-'))
                paths << h->WriteFile(name.mid(1), "");
            else
                paths << (name.startsWith('?') ? h->Path(name.mid(1)) : h->WriteSample(name));
        }
        h->Open(paths);
        QCOMPARE(h->prompts.log.size(), 1);
        QVERIFY(h->prompts.log[0].startsWith(QStringLiteral("stop: Load error!\n")));
        QCOMPARE(h->Dlg().GetLoadedFiles(), loaded);
        QCOMPARE(h->Dlg().TreeModel().rowCount(), loaded);
        // Save proposes the last file that loaded, never one that failed.
        QCOMPARE(h->Dlg().GetLastPath(), h->Path(lastLoaded));
        ExpectEnabled(true, {ids::kSave, ids::kUnload, ids::kTree}, {ids::kCmdSave, ids::kCmdUnload});

        h->Open({});  // a cancelled dialog changes nothing
        h->Open({h->WriteFile(QStringLiteral("empty.mob"), "")});
        QCOMPARE(h->Dlg().GetLastPath(), h->Path(lastLoaded));
        QCOMPARE(h->Dlg().GetLoadedFiles(), loaded);
    }

    // Another process holds the loading lock (here another lock file
    // description of this one, which flock tells apart the same way): after
    // a second the window says so, and Cancel ends the load with the reason.
    void lockWaitCanBeCancelled()
    {
        QTemporaryDir runtime;
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        platform::CProcessLock holder;
        QVERIFY(holder.Open("MUTEX") && holder.Lock());
        QString shown;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QProgressDialog*>(widget);
                if (dialog && dialog->isVisible()) {
                    shown = dialog->labelText();
                    dialog->cancel();
                }
            }
        });
        watcher.start(100);
        const QString path = h->WriteSample(QStringLiteral("a.mob"));
        h->Open({path});
        if (oldRuntime.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", oldRuntime);

        QCOMPARE(shown, QStringLiteral("waiting for another Quillmere process to finish loading\u2026"));
        QCOMPARE(h->prompts.log,
                 QStringList{QStringLiteral("stop: Load error!\n\n") + path +
                             QStringLiteral(": cancelled while waiting for another Quillmere process to finish loading")});
        QCOMPARE(h->Dlg().GetLoadedFiles(), 0);
    }

    void twoFilesRefuseSaveAndUnloadCountsAgain()
    {
        const QString path = h->WriteSample(QStringLiteral("a.mob"));
        h->Open({path, path});
        Keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("stop: Can't save more than one file!")});
        QVERIFY(!h->IsEnabled(ids::kSave) && h->Dlg().MenuItem(ids::kCmdSave)->isEnabled());

        h->prompts.log.clear();
        Keys(Qt::CTRL | Qt::Key_U);
        const CChunkTree& tree = h->Dlg().Document().Tree();
        QVERIFY(h->prompts.log.isEmpty() && tree.GetCount() == 0);
        QCOMPARE(h->Dlg().TreeModel().rowCount(), 0);
        QCOMPARE(h->Dlg().GetLastPath(), path);
        ExpectEnabled(false, {ids::kSave, ids::kUnload}, {ids::kCmdSave, ids::kCmdUnload});

        h->Open({path});
        h->Dlg().MenuItem(ids::kCmdSave)->trigger();
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("save: ") + path});

        // Unloading counts the files again from none.
        h->Click(ids::kUnload);
        Keys(Qt::CTRL | Qt::Key_S);
        Keys(Qt::CTRL | Qt::Key_U);
        QCOMPARE(h->prompts.log.mid(1), (QStringList{"stop: Nothing to save!", "stop: Nothing to unload!"}));
    }

    // Names that are not UTF-8 reach the file system as the bytes they are,
    // from the Open dialog to Save.
    void fileNamesKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("Latin-1") << QByteArray("caf\xE9.mob");
        QTest::newRow("UTF-8 beside stray bytes") << QByteArray("\xC3\xA9\xE2\x82\xF0\x9D\x84\x9E\xFF.mob");
        QTest::newRow("a surrogate's encoding") << QByteArray("\xED\xB3\xA9.mob");
    }

    void fileNamesKeepTheirBytes()
    {
        QFETCH(QByteArray, name);
        // Qt cannot list such a name, so QTemporaryDir could not remove it.
        const tools::TempDir folder;
        const std::string path = folder.File(name.toStdString());
        tools::WriteFileBytes(path, tools::ReadFileBytes(FileNameToBytes(h->WriteSample(QStringLiteral("a.mob")))));
        // A desktop's file dialog answers with a URL.
        const QByteArray url = "file://" + QByteArray::fromStdString(path).toPercentEncoding("/");
        h->Open({FileNameFromUrl(QUrl::fromEncoded(url))});
        QVERIFY2(h->prompts.log.isEmpty(), qPrintable(h->prompts.log.join('|')));
        const CChunkTree& tree = h->Dlg().Document().Tree();
        QCOMPARE(tree.GetItemText(tree.GetRootItem()), CMobDocument::FileNodeText(path));

        h->prompts.save.push_back(h->Dlg().GetLastPath());
        h->Dlg().MenuItem(ids::kCmdSave)->trigger();
        QCOMPARE(FileNameToBytes(h->prompts.log.value(0).mid(6)), path);  // "save: " and the name
        QVERIFY(h->prompts.log.value(1).startsWith(QStringLiteral("message: Saved file: ")));
        // Written over the file it came from: no second file beside it.
        QCOMPARE(tools::ListFolder(folder.Path()), std::vector<std::string>{name.toStdString()});
    }

    void growingMovesOnlyTheAnchoredEdges()
    {
        const auto before = Geometries();
        const CStatusBar* bar = h->Dlg().StatusBar();
        const QRect parts[] = {bar->GetPartRect(0), bar->GetPartRect(1)};
        h->Dlg().resize(h->Dlg().width() + 50, h->Dlg().height() + 30);
        const auto after = Geometries();

        // Right and bottom edge growth by control; every other control stays.
        const std::map<int, QSize> grown = {
            {ids::kTreeGroup, {0, 30}}, {ids::kTree, {0, 30}},       {ids::kDescGroup, {50, 0}},
            {ids::kDescEdit, {50, 0}},  {ids::kDataGroup, {50, 30}}, {ids::kDataEdit, {50, 30}},
        };
        for (const int id : kAllControls) {
            const QRect& was = before.at(id);
            const QRect expected(was.topLeft(), was.size() + (grown.count(id) ? grown.at(id) : QSize(0, 0)));
            QVERIFY2(after.at(id) == expected, qPrintable(QString::number(id)));
        }
        // The status bar follows the bottom edge; its parts keep the widths
        // set from the window's outer width (frame included) at start.
        const int outer = h->Dlg().frameGeometry().width() - 50;
        QCOMPARE(h->Dlg().GetStatusParts(), (std::array<int, 3>{outer / 4, outer - outer / 4, -1}));
        const QWidget* client = h->Dlg().ClientArea();
        QCOMPARE(bar->geometry(), QRect(0, client->height() - bar->height(), client->width(), bar->height()));
        QCOMPARE(bar->GetPartRect(0), parts[0]);
        QCOMPARE(bar->GetPartRect(1), parts[1]);
    }

    void shrinkingBelowTheStartAndGrowingBackRestores()
    {
        const QSize start = h->Dlg().size();
        const auto before = Geometries();
        h->Dlg().resize(start - QSize(100, 80));
        QCOMPARE(h->Dlg().size(), start);  // the smallest size holds

        // A platform may still make the window smaller (minimising does).
        h->Dlg().setMinimumSize(0, 0);
        h->Dlg().resize(start - QSize(100, 80));
        QCOMPARE(Geometries(), before);
        h->Dlg().resize(start + QSize(10, 10));
        QVERIFY(Geometries() != before);
        h->Dlg().resize(start);
        QCOMPARE(Geometries(), before);
    }

    void closing_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("unsaved");  // "", "file" or "descriptions"
        for (int way = 0; way < static_cast<int>(std::size(kCloseWays)); ++way) {
            for (const char* unsaved : {"", "file", "descriptions"})
                QTest::addRow("%s, unsaved: %s", kCloseWays[way].first, *unsaved ? unsaved : "none")
                    << way << QString::fromLatin1(unsaved);
        }
    }

    void closing()
    {
        QFETCH(int, way);
        QFETCH(QString, unsaved);
        h->Open({h->WriteSample(QStringLiteral("a.mob"))});
        if (unsaved == QLatin1String("file"))
            h->ApplyData(h->NodeByLabel("FLAG"), QStringLiteral("5"));
        if (unsaved == QLatin1String("descriptions"))
            h->TypeDescription(h->NodeByLabel("FLAG"), QStringLiteral("X"));
        h->prompts.yesNo = {false, true};
        kCloseWays[way].second(*h);
        // Asked only about unsaved work, and No keeps the window open.
        QCOMPARE(h->prompts.log.size(), unsaved.isEmpty() ? 0 : 1);
        QCOMPARE(h->Dlg().isVisible(), !unsaved.isEmpty());
        if (unsaved.isEmpty())
            return;
        QVERIFY(h->prompts.log[0].startsWith(QStringLiteral("ask: ")));
        QVERIFY(h->prompts.log[0].endsWith(QStringLiteral("Close anyway?")));
        kCloseWays[way].second(*h);
        QVERIFY(!h->Dlg().isVisible());
    }

    void enterInTheEditorsDoesNotClose_data()
    {
        QTest::addColumn<bool>("readOnly");  // a file node selected
        QTest::newRow("writable data editor") << false;
        QTest::newRow("read-only data editor") << true;
    }

    void enterInTheEditorsDoesNotClose()
    {
        QFETCH(bool, readOnly);
        if (readOnly) {
            h->Open({h->WriteSample(QStringLiteral("a.mob"))});
            h->Select(h->Dlg().Document().Tree().GetRootItem());
        }
        QCOMPARE(h->Dlg().DataEdit()->isReadOnly(), readOnly);
        h->Press(h->Dlg().DataEdit(), QKeyCombination(Qt::Key_Return));
        QCOMPARE(h->Dlg().DataEdit()->toPlainText(), readOnly ? QString() : QStringLiteral("\n"));
        h->Press(h->Dlg().DescEdit(), QKeyCombination(Qt::Key_Return));
        QVERIFY(h->Dlg().DescEdit()->toPlainText().isEmpty());
        // On a button Enter clicks it.
        h->Press(h->Control(ids::kLoad), QKeyCombination(Qt::Key_Return));
        QCOMPARE(h->prompts.log, QStringList{"open: Open MOB file(s)"});
        QVERIFY(h->Dlg().isVisible());
    }

    void optionsChooseTheDescriptionFile_data()
    {
        QTest::addColumn<QByteArray>("contents");  // of the other description file
        QTest::addColumn<int>("unwritten");          // -1 none, else the answer to the question
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");        // what the window says after the box
        const QByteArray good("0x00020001\tBYTE\tFLAG\tfrom the other file\r\n");
        QTest::newRow("another file") << good << -1 << true << "";
        QTest::newRow("malformed file")
            << QByteArray("bad\r\n") << -1 << true << "stop: Error in description file at line 1";
        QTest::newRow("unwritten changes, No") << good << 0 << true << "ask: Description changes were not written to ";
        QTest::newRow("unwritten changes, Yes") << good << 1 << true << "ask: Description changes were not written to ";
        QTest::newRow("cancelled") << good << -1 << false << "";
    }

    void optionsChooseTheDescriptionFile()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, unwritten);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        h->Open({h->WriteSample(QStringLiteral("a.mob"))});
        h->Select("FLAG");
        const QString before = h->Dlg().DescFile();
        QCOMPARE(before, h->Path(QStringLiteral("mob_desc.txt")));
        if (unwritten >= 0) {
            QTest::keyClicks(h->Dlg().DescEdit(), QStringLiteral("X"));
            h->prompts.yesNo = {unwritten == 1};
        }
        const QString other = h->WriteFile(QStringLiteral("other.txt"), contents.toStdString());
        h->prompts.open = {{other}};
        h->prompts.modal = [&](QDialog& dialog) {
            auto& options = static_cast<COptionsDlg&>(dialog);
            QCOMPARE(options.DescFileField()->text(), before);
            QCOMPARE(options.GetCodePage(), 1252);
            options.CodePageBox()->setCurrentIndex(options.CodePageBox()->findData(1251));
            options.OnChangeDescFile();
            QCOMPARE(options.DescFileField()->text(), other);
            if (accepted)
                options.accept();
        };
        QSignalSpy changed(&h->Dlg(), &CEditorDlg::DescFileChanged);
        h->Dlg().MenuItem(ids::kCmdOptions)->trigger();

        QCOMPARE(h->prompts.log.mid(0, 2), (QStringList{"modal: Options", "open: Choose the description file"}));
        QVERIFY2(message.isEmpty() ? h->prompts.log.size() == 2 : h->prompts.log.value(2).startsWith(message),
                 qPrintable(h->prompts.log.join('|')));
        const bool switched = accepted && !contents.startsWith("bad") && unwritten != 0;
        QCOMPARE(h->Dlg().DescFile(), switched ? other : before);
        QCOMPARE(changed.size(), switched ? 1 : 0);
        QCOMPARE(h->Dlg().CodePage().Number(), accepted ? 1251 : 1252);
        // The panes show the descriptions in use; a switch leaves none unwritten.
        QCOMPARE(h->Dlg().DescEdit()->toPlainText(),
                 switched ? QStringLiteral("from the other file")
                          : (unwritten >= 0 ? QStringLiteral("Xsynthetic BYTE") : QStringLiteral("synthetic BYTE")));
        QCOMPARE(h->IsEnabled(ids::kDescApply), !switched && unwritten >= 0);
    }

    // Unpack writes the file of the selected node (edits included) as a
    // document; Open shows a document as the file it packs to, and Save
    // writes that file under a new name.
    void unpackAndOpenTheDocument()
    {
        const QString a = h->WriteSample(QStringLiteral("a.mob"));
        const QString b = h->WriteSample(QStringLiteral("b.mob"), 9);
        h->Open({a, b});
        ExpectEnabled(true, {ids::kUnpack}, {ids::kCmdUnpack});
        h->Click(ids::kUnpack);
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("stop: Select a node of the file to unpack.")});

        h->prompts.log.clear();
        h->Select(h->NodeByLabel("FLAG"));
        h->prompts.save = {h->Path(QStringLiteral("out.json"))};
        h->Dlg().MenuItem(ids::kCmdUnpack)->trigger();
        QCOMPARE(h->prompts.log, (QStringList{QStringLiteral("save: ") + h->Path(QStringLiteral("a.json")),
                                              QStringLiteral("message: Unpacked to: ") + h->Path(QStringLiteral("out.json"))}));

        h->Click(ids::kUnload);
        h->prompts.log.clear();
        h->Open({h->Path(QStringLiteral("out.json"))});
        QVERIFY(h->NodeByLabel("FLAG") != kNoNode);
        h->prompts.save = {h->Path(QStringLiteral("c.mob"))};
        Keys(Qt::CTRL | Qt::Key_S);
        QCOMPARE(h->prompts.log.value(0), QStringLiteral("save: ") + h->Path(QStringLiteral("out.mob")));
        QCOMPARE(tools::ReadFileBytes(FileNameToBytes(h->Path(QStringLiteral("c.mob")))),
                 tools::ReadFileBytes(FileNameToBytes(a)));
        // The file node's own Save writes the MOB file beside the document,
        // never MOB bytes over the document.
        const std::vector<std::uint8_t> document = tools::ReadFileBytes(FileNameToBytes(h->Path(QStringLiteral("out.json"))));
        h->prompts.log.clear();
        h->Select(h->Dlg().Document().Tree().GetRootItem());
        h->Dlg().MenuItem(ids::kCmdSaveThisFile)->trigger();
        QCOMPARE(h->prompts.log, QStringList{QStringLiteral("message: Saved file: ") + h->Path(QStringLiteral("out.mob"))});
        QCOMPARE(tools::ReadFileBytes(FileNameToBytes(h->Path(QStringLiteral("out.mob")))),
                 tools::ReadFileBytes(FileNameToBytes(a)));
        QCOMPARE(tools::ReadFileBytes(FileNameToBytes(h->Path(QStringLiteral("out.json")))), document);

        h->prompts.log.clear();
        h->WriteFile(QStringLiteral("bad.json"), "{\"format\": 1}");
        h->Open({h->Path(QStringLiteral("bad.json"))});
        QVERIFY2(h->prompts.log.value(0).contains(QStringLiteral("bad.json:1:12: \"format\" must be a string")),
                 qPrintable(h->prompts.log.join('|')));
    }
};

QTEST_MAIN(EditorDlgTest)
#include "EditorDlgTest.moc"
