#include "app/CEditorApp.h"

#include "ui/CEditorDlg.h"

#include <QTimer>

namespace qm {

int CEditorApp::InitInstance(const QStringList& files)
{
    CEditorDlg dlg(m_prompts);
    if (!dlg.OnInitDialog())
        return dlg.ExitCode();

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
