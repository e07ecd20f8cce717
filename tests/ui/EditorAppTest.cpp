// Start-up: the description file, files named on the command line, and
// the program's --version.

#include "CEditorHarness.h"
#include "app/CEditorApp.h"
#include "ui/BuildTitle.h"
#include "ui/CChunkTreeModel.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace qm;
using namespace qm::test;

class EditorAppTest : public QObject {
    Q_OBJECT

private slots:
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

    void filesOnTheCommandLineAreLoaded()
    {
        CEditorHarness h;
        const QStringList files{h.WriteSample(QStringLiteral("a.mob")), h.WriteFile(QStringLiteral("empty.mob"), ""),
                                h.WriteSample(QStringLiteral("b.mob"))};
        CEditorApp app(h.prompts);
        int rows = -1;
        app.SetStartupHook([&](CEditorDlg& dlg) {
            const QAbstractItemModelTester tester(&dlg.TreeModel(),
                                                  QAbstractItemModelTester::FailureReportingMode::QtTest);
            rows = dlg.TreeModel().rowCount();
            dlg.reject();
        });
        QCOMPARE(app.InitInstance(files), 0);
        QCOMPARE(rows, 2);
        QCOMPARE(h.prompts.log.size(), 1);
        QVERIFY(h.prompts.log[0].startsWith(QStringLiteral("stop: Load error!")));
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
