#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace qm {

// The Find window: a find-what field and a Find Next button, searching
// down only. Modeless; it deletes itself when closed.
class CMyFindDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMyFindDlg(QWidget* owner);

    QString GetFindString() const;
    QLineEdit* FindWhat() const { return m_pFindWhat; }
    QPushButton* FindNextButton() const { return m_pFindNext; }

signals:
    // Find Next was pressed; the owner takes the text with GetFindString().
    void FindNextRequested();

private:
    QLineEdit* m_pFindWhat = nullptr;
    QPushButton* m_pFindNext = nullptr;
};

} // namespace qm
