#include "ui/CDataEdit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextDocument>

namespace qm {

namespace {

// A key that the text box would turn into text of its own.
bool TypesText(const QKeyEvent& event)
{
    const QString text = event.text();
    if (text.isEmpty())
        return false;
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return true;
    return text.at(0).isPrint();
}

} // namespace

CDataEdit::CDataEdit(int typingLimit, QWidget* parent)
    : QPlainTextEdit(parent), m_nTypingLimit(typingLimit)
{
}

int CDataEdit::Length() const
{
    return document()->characterCount() - 1;
}

int CDataEdit::Room() const
{
    const QTextCursor cursor = textCursor();
    const int selected = cursor.selectionEnd() - cursor.selectionStart();
    return m_nTypingLimit - (Length() - selected);
}

void CDataEdit::keyPressEvent(QKeyEvent* event)
{
    if (!isReadOnly() && TypesText(*event) && Room() < event->text().size()) {
        QApplication::beep();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CDataEdit::insertFromMimeData(const QMimeData* source)
{
    if (!source || !source->hasText() || isReadOnly())
        return;
    const QString text = source->text();
    // A text box counts CR LF as one break; so must the room left.
    const QString normal = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const int room = qMax(0, Room());
    if (normal.size() <= room) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    if (room > 0)
        textCursor().insertText(normal.left(room));
    QApplication::beep();
    ensureCursorVisible();
}

void CDataEdit::inputMethodEvent(QInputMethodEvent* event)
{
    const QString commit = event->commitString();
    const int room = qMax(0, Room());
    if (commit.size() <= room || isReadOnly()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent cut(event->preeditString(), event->attributes());
    cut.setCommitString(commit.left(room), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&cut);
    event->accept();
}

} // namespace qm
