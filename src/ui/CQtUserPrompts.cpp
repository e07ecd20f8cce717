#include "ui/CQtUserPrompts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
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
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.isEmpty())
            return {};
        const QString& path = chosen.front();
        if (QFileInfo::exists(path))
            return path;
        const QString question = path + QStringLiteral("\nThis file does not exist.\nCreate the file?");
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
