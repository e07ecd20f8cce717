#pragma once

#include "mob/CMobDocument.h"

#include <QElapsedTimer>
#include <QString>

#include <chrono>
#include <memory>

class QProgressDialog;
class QWidget;

namespace qm {

// While it lives, a load or save of the document that goes on for more
// than half a second shows a progress dialog, and the windows keep
// repainting: the work runs on the one user-interface thread, which stops
// now and then to paint. No user input is taken meanwhile, so nothing can
// start while the document is half loaded.
//
// A load that waits more than a second for another process to finish
// loading says so in a dialog of its own, whose Cancel gives the load up.
class CLongWorkProgress {
public:
    CLongWorkProgress(QWidget* parent, CMobDocument& doc, QString label);
    ~CLongWorkProgress();
    CLongWorkProgress(const CLongWorkProgress&) = delete;
    CLongWorkProgress& operator=(const CLongWorkProgress&) = delete;

    // For work that reports its progress by itself (an unpack, a pack)
    // rather than through the document; never cancels.
    bool Report(std::uint64_t done, std::uint64_t total)
    {
        OnProgress(done, total);
        return true;
    }

    static constexpr qint64 kShowAfterMs = 500;
    static constexpr qint64 kPaintEveryMs = 30;
    static constexpr std::chrono::milliseconds kShowLockWaitAfter{1000};

private:
    void OnProgress(std::uint64_t done, std::uint64_t total);
    bool OnLockWait(std::chrono::milliseconds waited);
    void CloseLockWait();

    QWidget* m_parent;
    CMobDocument& m_doc;
    QString m_label;
    QElapsedTimer m_started;
    qint64 m_lastPaint = 0;
    std::unique_ptr<QProgressDialog> m_dialog;
    std::unique_ptr<QProgressDialog> m_lockWait;
};

} // namespace qm
