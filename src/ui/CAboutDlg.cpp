#include "ui/CAboutDlg.h"

#include "ui/BuildTitle.h"
#include "ui/CArtwork.h"
#include "ui/CDialogUnits.h"

#include <QLabel>
#include <QPushButton>

namespace qm {

const QString CAboutDlg::kMakerLine = QStringLiteral("Made by Brannock Software");

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), m_pVersion(new QLabel(this))
{
    setWindowTitle(QStringLiteral("About Quillmere"));
    const CDialogUnits du(font());

    auto* icon = new QLabel(this);
    icon->setPixmap(CArtwork::ProgramIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    icon->setGeometry(du.MapRect(6, 24, 20, 20));

    m_pVersion->setTextFormat(Qt::PlainText);
    m_pVersion->setAlignment(Qt::AlignCenter);
    m_pVersion->setText(g_strTitle);
    m_pVersion->setGeometry(du.MapRect(7, 6, 162, 8));

    auto* maker = new QLabel(kMakerLine, this);
    maker->setTextFormat(Qt::PlainText);
    maker->setGeometry(du.MapRect(36, 30, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry(du.MapRect(64, 42, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(du.MapX(178), du.MapY(65));
}

QString CAboutDlg::GetVersionLine() const
{
    return m_pVersion->text();
}

} // namespace qm
