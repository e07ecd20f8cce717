#include "app/CEditorApp.h"

#include "ui/CCodePage.h"
#include "ui/CEditorDlg.h"
#include "ui/FileNameText.h"
#include "ui/IUserPrompts.h"

#include <QSettings>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <system_error>

namespace qm {

namespace {

const QString kCodePageKey = QStringLiteral("codePage");
// Kept as the file system's bytes, which text settings could not hold.
const QString kDescFileKey = QStringLiteral("descFile");

QSettings Settings()
{
    return QSettings(QStringLiteral("Brannock"), QStringLiteral("Quillmere"));
}

QString FromBytes(const QByteArray& bytes)
{
    return FileNameFromBytes(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool Exists(const std::string& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Makes an empty file, and the folders above it; false when it could not.
bool MakeEmptyFile(const std::string& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    return std::ofstream(path, std::ios::app).good();
}

} // namespace

QString CEditorApp::DefaultUserDescFile()
{
    QByteArray base = qgetenv("XDG_DATA_HOME");
    if (!base.startsWith('/'))
        base = qgetenv("HOME") + "/.local/share";
    return FromBytes(base) + QStringLiteral("/Quillmere/mob_desc.txt");
}

QString CEditorApp::UserDescFile(QString& notice) const
{
    const QByteArray chosen = Settings().value(kDescFileKey).toByteArray();
    if (!chosen.isEmpty()) {
        if (Exists(chosen.toStdString()))
            return FromBytes(chosen);
        Settings().remove(kDescFileKey);
        notice = QStringLiteral("The description file chosen under Options is gone:\n%1\n\n")
                     .arg(FileNameForDisplay(FromBytes(chosen)));
    }
    const QString path = DefaultUserDescFile();
    const std::string bytes = FileNameToBytes(path);
    if (!Exists(bytes) && MakeEmptyFile(bytes)) {
        notice += QStringLiteral("A new, empty description file was made for you:\n%1\n\n"
                                 "Chunks show without names until it holds descriptions.\n"
                                 "To use another file, choose Options in the Tools menu.")
                      .arg(FileNameForDisplay(path));
    } else if (!notice.isEmpty()) {
        notice += QStringLiteral("This one is used instead:\n%1").arg(FileNameForDisplay(path));
    }
    return path;
}

int CEditorApp::InitInstance(const QStringList& files)
{
    CEditorDlg dlg(m_prompts);
    QString notice;
    if (m_bUserDescFile) {
        dlg.SetDescFile(UserDescFile(notice));
        QObject::connect(&dlg, &CEditorDlg::DescFileChanged, &dlg, [](const QString& path) {
            const std::string bytes = FileNameToBytes(path);
            Settings().setValue(kDescFileKey, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        });
    }
    if (!dlg.OnInitDialog())
        return dlg.ExitCode();

    dlg.SetCodePage(Settings().value(kCodePageKey, CCodePage::kDefault).toInt());
    QObject::connect(&dlg, &CEditorDlg::CodePageChanged, &dlg,
                     [](int number) { Settings().setValue(kCodePageKey, number); });

    // Told and loaded once the window is on screen, so a box has the window
    // behind it.
    QTimer::singleShot(0, &dlg, [this, &dlg, files, notice] {
        if (!notice.isEmpty())
            m_prompts.ShowMessage(&dlg, notice, MessageIcon::Information);
        dlg.LoadFiles(files);
        if (m_startupHook)
            m_startupHook(dlg);
    });
    dlg.exec();
    return dlg.ExitCode();
}

} // namespace qm
