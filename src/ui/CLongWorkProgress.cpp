#include "ui/CLongWorkProgress.h"

#include <QApplication>
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
    m_doc.SetLockWaitCallback([this](std::chrono::milliseconds waited) { return OnLockWait(waited); });
}

CLongWorkProgress::~CLongWorkProgress()
{
    m_doc.SetProgressCallback({});
    m_doc.SetLockWaitCallback({});
    CloseLockWait();
}

void CLongWorkProgress::OnProgress(std::uint64_t done, std::uint64_t total)
{
    CloseLockWait();
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

bool CLongWorkProgress::OnLockWait(std::chrono::milliseconds waited)
{
    if (waited < kShowLockWaitAfter)
        return true;
    if (!m_lockWait) {
        m_lockWait = std::make_unique<QProgressDialog>(
            QStringLiteral("waiting for another Quillmere process to finish loading\u2026"),
            QStringLiteral("Cancel"), 0, 0, m_parent);
        m_lockWait->setWindowTitle(QCoreApplication::applicationName());
        // Only the Cancel button takes input while the load waits.
        m_lockWait->setWindowModality(Qt::ApplicationModal);
        m_lockWait->setMinimumDuration(0);
        m_lockWait->setAutoClose(false);
        m_lockWait->setAutoReset(false);
        m_lockWait->show();
        // The busy cursor of the load would say the button cannot be used.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !m_lockWait->wasCanceled();
}

void CLongWorkProgress::CloseLockWait()
{
    if (!m_lockWait)
        return;
    m_lockWait.reset();
    QApplication::restoreOverrideCursor();
}

} // namespace qm
