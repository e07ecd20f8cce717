#include "CScriptedPrompts.h"

#include <QDialog>

namespace qm::test {

void CScriptedPrompts::ShowMessage(QWidget* /*owner*/, const QString& text, MessageIcon icon)
{
    asked.push_back({Kind::Message, text, icon, {}});
}

bool CScriptedPrompts::AskYesNo(QWidget* /*owner*/, const QString& text)
{
    asked.push_back({Kind::YesNo, text, MessageIcon::None, {}});
    if (yesNoAnswers.empty())
        return false;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

QStringList CScriptedPrompts::GetOpenFileNames(QWidget* /*owner*/, const FileDialogRequest& request)
{
    asked.push_back({Kind::OpenFiles, request.title, MessageIcon::None, request});
    if (openAnswers.empty())
        return {};
    QStringList answer = openAnswers.front();
    openAnswers.pop_front();
    return answer;
}

QString CScriptedPrompts::GetSaveFileName(QWidget* /*owner*/, const FileDialogRequest& request)
{
    asked.push_back({Kind::SaveFile, request.title, MessageIcon::None, request});
    if (saveAnswers.empty())
        return {};
    QString answer = saveAnswers.front();
    saveAnswers.pop_front();
    return answer;
}

void CScriptedPrompts::RunModal(QDialog& dialog)
{
    asked.push_back({Kind::Modal, dialog.windowTitle(), MessageIcon::None, {}});
    if (onModal)
        onModal(dialog);
}

std::vector<CScriptedPrompts::Prompt> CScriptedPrompts::Asked(Kind kind) const
{
    std::vector<Prompt> result;
    for (const Prompt& prompt : asked) {
        if (prompt.kind == kind)
            result.push_back(prompt);
    }
    return result;
}

std::vector<QString> CScriptedPrompts::Messages() const
{
    std::vector<QString> result;
    for (const Prompt& prompt : Asked(Kind::Message))
        result.push_back(prompt.text);
    return result;
}

} // namespace qm::test
