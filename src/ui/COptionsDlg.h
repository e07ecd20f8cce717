#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace qm {

class IUserPrompts;

// The Options box: the description file the window works with, and the code
// page of labels, descriptions and payload text. It only gathers the
// choices; the main window puts them into effect once the box is accepted.
class COptionsDlg : public QDialog {
    Q_OBJECT
public:
    COptionsDlg(IUserPrompts& prompts, const QString& descFile, int codePage, QWidget* parent = nullptr);

    const QString& GetDescFile() const { return m_strDescFile; }
    int GetCodePage() const;

    QLineEdit* DescFileField() const { return m_pDescFile; }
    QComboBox* CodePageBox() const { return m_pCodePage; }

public slots:
    // Asks for another description file through the file dialog.
    void OnChangeDescFile();

private:
    IUserPrompts& m_prompts;
    QString m_strDescFile;
    QLineEdit* m_pDescFile;
    QComboBox* m_pCodePage;
};

} // namespace qm
