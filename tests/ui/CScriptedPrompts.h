#pragma once

#include "ui/IUserPrompts.h"

#include <deque>
#include <functional>
#include <vector>

namespace qm::test {

// The seam answered by the test: every question is recorded, and answers
// come from queues filled beforehand. An empty queue answers like a person
// who cancels, or says No.
class CScriptedPrompts : public IUserPrompts {
public:
    enum class Kind { Message, YesNo, OpenFiles, SaveFile, Modal };

    struct Prompt {
        Kind kind;
        QString text;  // message text, question, dialog title
        MessageIcon icon = MessageIcon::None;
        FileDialogRequest request;
    };

    void ShowMessage(QWidget* owner, const QString& text, MessageIcon icon) override;
    bool AskYesNo(QWidget* owner, const QString& text) override;
    QStringList GetOpenFileNames(QWidget* owner, const FileDialogRequest& request) override;
    QString GetSaveFileName(QWidget* owner, const FileDialogRequest& request) override;
    void RunModal(QDialog& dialog) override;

    std::vector<Prompt> Asked(Kind kind) const;
    std::vector<QString> Messages() const;
    void Clear() { asked.clear(); }

    std::vector<Prompt> asked;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<bool> yesNoAnswers;
    // Lets a test look at a modal box while it is "open".
    std::function<void(QDialog&)> onModal;
};

} // namespace qm::test
