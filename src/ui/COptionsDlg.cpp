#include "ui/COptionsDlg.h"

#include "ui/CCodePage.h"
#include "ui/FileNameText.h"
#include "ui/IUserPrompts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm {

COptionsDlg::COptionsDlg(IUserPrompts& prompts, const QString& descFile, int codePage, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_strDescFile(descFile),
      m_pDescFile(new QLineEdit(FileNameForDisplay(descFile), this)),
      m_pCodePage(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Options"));

    m_pDescFile->setReadOnly(true);
    m_pDescFile->setMinimumWidth(m_pDescFile->fontMetrics().averageCharWidth() * 50);
    auto* change = new QPushButton(QStringLiteral("&Change..."), this);
    connect(change, &QPushButton::clicked, this, &COptionsDlg::OnChangeDescFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_pDescFile, 1);
    fileRow->addWidget(change);

    auto* note =
        new QLabel(QStringLiteral("Files loaded already keep the names and types they were loaded with."), this);
    note->setWordWrap(true);

    for (const int number : CCodePage::Offered())
        m_pCodePage->addItem(CCodePage::Get(number).Name(), number);
    m_pCodePage->setCurrentIndex(m_pCodePage->findData(CCodePage::Get(codePage).Number()));

    auto* form = new QFormLayout;
    auto* fileLabel = new QLabel(QStringLiteral("&Description file:"), this);
    fileLabel->setBuddy(m_pDescFile);
    form->addRow(fileLabel, fileRow);
    form->addRow(QString(), note);
    form->addRow(QStringLiteral("Code &page:"), m_pCodePage);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

int COptionsDlg::GetCodePage() const
{
    return m_pCodePage->currentData().toInt();
}

void COptionsDlg::OnChangeDescFile()
{
    FileDialogRequest request{QStringLiteral("Choose the description file"),
                              QStringLiteral("Description files (*.txt);;All Files (*)"), QStringLiteral("txt"),
                              m_strDescFile};
    request.oneFile = true;
    const QStringList chosen = m_prompts.GetOpenFileNames(this, request);
    if (chosen.isEmpty())
        return;
    m_strDescFile = chosen.front();
    m_pDescFile->setText(FileNameForDisplay(m_strDescFile));
}

} // namespace qm
