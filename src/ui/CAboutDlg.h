#pragma once

#include <QDialog>

class QLabel;

namespace qm {

// The About box: the program icon, the title with its version, the maker
// and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QString GetVersionLine() const;

    static const QString kMakerLine;

private:
    QLabel* m_pVersion;
};

} // namespace qm
