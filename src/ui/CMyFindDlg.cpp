#include "ui/CMyFindDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qm {

CMyFindDlg::CMyFindDlg(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("CMyFindDlg"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("Find"));

    auto* label = new QLabel(QStringLiteral("Fi&nd what:"), this);
    m_pFindWhat = new QLineEdit(this);
    label->setBuddy(m_pFindWhat);

    // The search always runs down the tree; the choice is shown, not offered.
    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto* up = new QRadioButton(QStringLiteral("&Up"), direction);
    auto* down = new QRadioButton(QStringLiteral("&Down"), direction);
    down->setChecked(true);
    direction->setEnabled(false);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(up);
    directionLayout->addWidget(down);

    m_pFindNext = new QPushButton(QStringLiteral("&Find Next"), this);
    m_pFindNext->setDefault(true);
    m_pFindNext->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_pFindWhat, 0, 1);
    layout->addWidget(direction, 1, 1, Qt::AlignRight);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_pFindNext);
    buttons->addWidget(cancel);
    buttons->addStretch();
    layout->addLayout(buttons, 0, 2, 2, 1);

    // Nothing to look for, nothing to press.
    connect(m_pFindWhat, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_pFindNext->setEnabled(!text.isEmpty()); });
    connect(m_pFindNext, &QPushButton::clicked, this, &CMyFindDlg::FindNextRequested);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    m_pFindWhat->setFocus();
    resize(sizeHint());
}

QString CMyFindDlg::GetFindString() const
{
    return m_pFindWhat->text();
}

} // namespace qm
