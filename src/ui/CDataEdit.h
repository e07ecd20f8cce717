#pragma once

#include <QPlainTextEdit>

namespace qm {

// The data editor: a plain text box whose limit holds for what the user
// types or pastes only. Text the program puts in is shown whole, however
// long: cutting a payload's text to fit and then applying it would lose
// data.
class CDataEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    CDataEdit(int typingLimit, QWidget* parent = nullptr);

    int TypingLimit() const { return m_nTypingLimit; }
    // Characters the box holds, a line break counting as one.
    int Length() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // How many characters may still be typed over the current selection.
    int Room() const;

    int m_nTypingLimit;
};

} // namespace qm
