#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace qm {

enum class MessageIcon { None, Information, Stop };

struct FileDialogRequest {
    QString title;
    QString filter;         // Qt form: "Name (*.ext);;Other (*)"
    QString defaultSuffix;  // added to a typed name that has none
    QString initialPath;    // proposed file name; empty for none
    bool oneFile = false;   // Open: a single file, not several
};

// Everything that waits for a person: message boxes, questions, file
// dialogs and modal boxes. The window asks through this seam only, so tests
// can answer in a person's place.
class IUserPrompts {
public:
    virtual ~IUserPrompts() = default;

    // An OK-only box with the program's name as caption.
    virtual void ShowMessage(QWidget* owner, const QString& text, MessageIcon icon) = 0;
    // Yes or No, No being the default; true for Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;
    // Existing files, several allowed unless the request says otherwise;
    // empty when cancelled.
    virtual QStringList GetOpenFileNames(QWidget* owner, const FileDialogRequest& request) = 0;
    // One path to write; empty when cancelled.
    virtual QString GetSaveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual void RunModal(QDialog& dialog) = 0;
};

} // namespace qm
