#pragma once

#include <QStringList>

#include <functional>

namespace qm {

class CEditorDlg;
class IUserPrompts;

// The application: runs the main window until it closes.
class CEditorApp {
public:
    using StartupHook = std::function<void(CEditorDlg&)>;

    explicit CEditorApp(IUserPrompts& prompts) : m_prompts(prompts) {}

    // Runs once the window is up and the start-up files are loaded.
    void SetStartupHook(StartupHook hook) { m_startupHook = std::move(hook); }

    // Shows the main window with the given files loaded and returns the
    // program's exit code when it closes: 1 when the descriptions could not
    // be read, in which case the window never appears.
    int InitInstance(const QStringList& files);

private:
    IUserPrompts& m_prompts;
    StartupHook m_startupHook;
};

} // namespace qm
