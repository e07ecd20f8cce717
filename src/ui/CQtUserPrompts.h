#pragma once

#include "ui/IUserPrompts.h"

namespace qm {

// The seam answered by a person, through Qt's message boxes and file dialogs.
class CQtUserPrompts : public IUserPrompts {
public:
    void ShowMessage(QWidget* owner, const QString& text, MessageIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text) override;
    QStringList GetOpenFileNames(QWidget* owner, const FileDialogRequest& request) override;
    QString GetSaveFileName(QWidget* owner, const FileDialogRequest& request) override;
    void RunModal(QDialog& dialog) override;

    // The caption of every box: the program file's name without extension.
    static QString ProgramName();
};

} // namespace qm
