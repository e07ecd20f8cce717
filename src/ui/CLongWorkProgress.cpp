#include "ui/CLongWorkProgress.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace qm {

namespace {
constexpr int kSteps = 1000;
}

CLongWorkProgress::CLongWorkProgress(QWidget* parent, CMobDocument& doc, QString label)
    : m_parent(parent), m_doc(doc), m_label(std::move(label))
{
    m_started.start();
    m_doc.SetProgressCallback([this](std::uint64_t done, std::uint64_t total) { OnProgress(done, total); });
}

CLongWorkProgress::~CLongWorkProgress()
{
    m_doc.SetProgressCallback({});
}

void CLongWorkProgress::OnProgress(std::uint64_t done, std::uint64_t total)
{
    const qint64 now = m_started.elapsed();
    if (now < kShowAfterMs || now - m_lastPaint < kPaintEveryMs)
        return;
    m_lastPaint = now;
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>(m_label, QString(), 0, kSteps, m_parent);
        m_dialog->setWindowTitle(QCoreApplication::applicationName());
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    const auto step = total == 0 ? 0 : static_cast<int>(done * kSteps / total);
    m_dialog->setValue(std::min(step, kSteps));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace qm
