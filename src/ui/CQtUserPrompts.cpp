#include "ui/CQtUserPrompts.h"

#include "ui/FileNameText.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace qm {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void ApplyRequest(QFileDialog& dialog, const FileDialogRequest& request)
{
    dialog.setWindowTitle(request.title);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setSizeGripEnabled(true);
    if (!request.initialPath.isEmpty())
        dialog.selectFile(request.initialPath);
}

// The dialog's files with every byte of their names. A desktop's own dialog
// hands names over as URLs, whose file names have lost the bytes that are
// not UTF-8 (shown as U+FFFD); the URL still holds them. Qt's own dialog
// keeps the names it was given whole.
QStringList SelectedFileNames(const QFileDialog& dialog)
{
    const QStringList files = dialog.selectedFiles();
    const QList<QUrl> urls = dialog.selectedUrls();
    QStringList names;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const bool lost = files[i].contains(QChar::ReplacementCharacter) && i < urls.size();
        const QString name = lost ? FileNameFromUrl(urls[i]) : files[i];
        names << (name.isEmpty() ? files[i] : name);
    }
    return names;
}

} // namespace

QString CQtUserPrompts::ProgramName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void CQtUserPrompts::ShowMessage(QWidget* owner, const QString& text, MessageIcon icon)
{
    QMessageBox box(ToQtIcon(icon), ProgramName(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool CQtUserPrompts::AskYesNo(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, ProgramName(), text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QStringList CQtUserPrompts::GetOpenFileNames(QWidget* owner, const FileDialogRequest& request)
{
    QFileDialog dialog(owner);
    ApplyRequest(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.oneFile ? QFileDialog::ExistingFile : QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return SelectedFileNames(dialog);
}

QString CQtUserPrompts::GetSaveFileName(QWidget* owner, const FileDialogRequest& request)
{
    QFileDialog dialog(owner);
    ApplyRequest(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog asks before replacing a file; creating a new one is asked
    // here, and a No goes back to the dialog.
    while (dialog.exec() == QDialog::Accepted) {
        const QStringList chosen = SelectedFileNames(dialog);
        if (chosen.isEmpty())
            return {};
        const QString& path = chosen.front();
        std::error_code error;
        if (std::filesystem::exists(FileNameToBytes(path), error))
            return path;
        const QString question =
            FileNameForDisplay(path) + QStringLiteral("\nThis file does not exist.\nCreate the file?");
        if (AskYesNo(&dialog, question))
            return path;
    }
    return {};
}

void CQtUserPrompts::RunModal(QDialog& dialog)
{
    dialog.exec();
}

} // namespace qm
