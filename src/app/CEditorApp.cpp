#include "app/CEditorApp.h"

#include "ui/CCodePage.h"
#include "ui/CEditorDlg.h"

#include <QSettings>
#include <QTimer>

namespace qm {

namespace {

const QString kCodePageKey = QStringLiteral("codePage");

// The code page is the one choice the program keeps between runs.
QSettings Settings()
{
    return QSettings(QStringLiteral("Brannock"), QStringLiteral("Quillmere"));
}

} // namespace

int CEditorApp::InitInstance(const QStringList& files)
{
    CEditorDlg dlg(m_prompts);
    if (!dlg.OnInitDialog())
        return dlg.ExitCode();

    dlg.SetCodePage(Settings().value(kCodePageKey, CCodePage::kDefault).toInt());
    QObject::connect(&dlg, &CEditorDlg::CodePageChanged, &dlg,
                     [](int number) { Settings().setValue(kCodePageKey, number); });

    // Loaded once the window is on screen, so a failing file's box has
    // the window behind it.
    QTimer::singleShot(0, &dlg, [this, &dlg, files] {
        dlg.LoadFiles(files);
        if (m_startupHook)
            m_startupHook(dlg);
    });
    dlg.exec();
    return dlg.ExitCode();
}

} // namespace qm
