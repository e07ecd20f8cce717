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

    // A start from the desktop menu has no working folder of its own, so it
    // uses the user's description file instead of the working folder's: the
    // one last chosen under Options while so started, else the default one,
    // made empty on first use.
    void UseUserDescFile(bool use) { m_bUserDescFile = use; }

    // Shows the main window with the given files loaded and returns the
    // program's exit code when it closes: 1 when the descriptions could not
    // be read, in which case the window never appears.
    int InitInstance(const QStringList& files);

    // $XDG_DATA_HOME/Quillmere/mob_desc.txt; ~/.local/share stands in for a
    // variable that is unset or not an absolute path.
    static QString DefaultUserDescFile();

private:
    // The user's description file, and in notice what the user is to be
    // told about it.
    QString UserDescFile(QString& notice) const;

    IUserPrompts& m_prompts;
    StartupHook m_startupHook;
    bool m_bUserDescFile = false;
};

} // namespace qm
