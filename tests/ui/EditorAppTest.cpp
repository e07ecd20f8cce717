// Start-up: the description file, files named on the command line, and
// the program's --version.

#include "CEditorHarness.h"
#include "app/CEditorApp.h"
#include "ui/BuildTitle.h"
#include "ui/COptionsDlg.h"
#include "ui/EditorIds.h"
#include "tools/CSyntheticMob.h"
#include "tools/ChunkBuilder.h"
#include "tools/TempDir.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace qm;
using namespace qm::test;

class EditorAppTest : public QObject {
    Q_OBJECT

private:
    // Settings and the user's data folder live here, not in the home folder.
    QTemporaryDir m_home;

    QString DataHome() const { return m_home.filePath(QStringLiteral("data")); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", DataHome().toUtf8());
    }

    void unreadableDescriptionsEndTheProgram_data()
    {
        QTest::addColumn<QByteArray>("contents");  // empty for no file at all
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("missing") << QByteArray() << "Error while open description file";
        QTest::newRow("malformed line") << QByteArray("0x00001000\tREC\n") << "";
    }

    void unreadableDescriptionsEndTheProgram()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, messageStart);
        CEditorHarness h(contents.toStdString());
        if (contents.isEmpty())
            QVERIFY(QFile::remove(h.Path(QStringLiteral("mob_desc.txt"))));

        CEditorApp app(h.prompts);
        bool windowShown = false;
        app.SetStartupHook([&](CEditorDlg&) { windowShown = true; });
        QCOMPARE(app.InitInstance({}), 1);

        QVERIFY(!windowShown);
        QCOMPARE(h.prompts.log.size(), 1);
        QVERIFY(h.prompts.log[0].startsWith(QStringLiteral("stop: ") + messageStart));
    }

    // A start from the desktop menu has no description file in its working
    // folder: it uses the user's own, made on first use and changed in Options.
    void desktopStartsUseTheUserDescriptionFile()
    {
        QFile entry(QStringLiteral(QUILLMERE_DESKTOP_FILE));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=quillmere --user-desc %F\n"));

        CEditorHarness h;
        QVERIFY(QFile::remove(h.Path(QStringLiteral("mob_desc.txt"))));
        const QString userFile = DataHome() + QStringLiteral("/Quillmere/mob_desc.txt");
        QCOMPARE(CEditorApp::DefaultUserDescFile(), userFile);
        const auto start = [&](const std::function<void(CEditorDlg&)>& act) {
            CEditorApp app(h.prompts);
            app.UseUserDescFile(true);
            QString used;
            app.SetStartupHook([&](CEditorDlg& dlg) {
                used = dlg.DescFile();
                if (act)
                    act(dlg);
                dlg.reject();
            });
            return app.InitInstance({}) == 0 ? used : QStringLiteral("ended");
        };

        QCOMPARE(start({}), userFile);
        QCOMPARE(QFileInfo(userFile).size(), 0);
        QCOMPARE(h.prompts.log.size(), 1);
        QVERIFY(h.prompts.log[0].startsWith(QStringLiteral("info: A new, empty description file")));
        QVERIFY(h.prompts.log[0].contains(userFile));

        // Told once; another file chosen in Options is used from then on.
        h.prompts.log.clear();
        const QString other = h.WriteFile(QStringLiteral("other.txt"), "0x00020001\tBYTE\tFLAG\r\n");
        h.prompts.open = {{other}};
        h.prompts.modal = [](QDialog& dialog) {
            static_cast<COptionsDlg&>(dialog).OnChangeDescFile();
            dialog.accept();
        };
        QCOMPARE(start([](CEditorDlg& dlg) { dlg.MenuItem(ids::kCmdOptions)->trigger(); }), userFile);
        QCOMPARE(start({}), other);
        QCOMPARE(h.prompts.log, (QStringList{"modal: Options", "open: Choose the description file"}));

        // When it is gone, the user's own file stands in, with a word.
        h.prompts.log.clear();
        QVERIFY(QFile::remove(other));
        QCOMPARE(start({}), userFile);
        QCOMPARE(h.prompts.log.size(), 1);
        QVERIFY(h.prompts.log[0].startsWith(QStringLiteral("info: The description file chosen under Options is gone")));
        QCOMPARE(start({}), userFile);
    }

    // The arguments reach the file system as the bytes they are, and the
    // documentation's screenshot shows a chunk with its value.
    void commandLineNamesKeepTheirBytes()
    {
        // Qt cannot list such a name, so QTemporaryDir could not remove it.
        const tools::TempDir folder;
        tools::WriteFileText(folder.File("mob_desc.txt"), tools::CSyntheticMob::DescriptionText());
        tools::WriteFileBytes(folder.File("caf\xE9.mob"), tools::ChunkBuilder().Chunk(kIdFlag, {1}).Bytes());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(folder.Path()));
        // QProcess would hand the name over as UTF-8; the shell makes its bytes.
        const QString command =
            QStringLiteral("exec \"$0\" --screenshot shot.png --select 2 \"$(printf 'caf\\351.mob')\"");
        process.start(QStringLiteral("sh"), {QStringLiteral("-c"), command, QStringLiteral(QUILLMERE_BINARY)});
        // A "Load error!" box would keep the program waiting.
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray said = process.readAllStandardError();
        QVERIFY2(said.contains("screenshot saved:") && said.contains("\ndescription: synthetic BYTE\ndata: 1\n"),
                 said.constData());
        QVERIFY(QFileInfo(QString::fromStdString(folder.File("shot.png"))).size() > 0);
    }

    void versionOptionPrintsTheTitle()
    {
        BuildTitle();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUILLMERE_BINARY), {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), g_strTitle + QLatin1Char('\n'));
    }
};

QTEST_MAIN(EditorAppTest)
#include "EditorAppTest.moc"
