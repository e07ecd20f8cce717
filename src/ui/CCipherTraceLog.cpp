#include "ui/CCipherTraceLog.h"

// Debug and info messages are off until a logging rule turns them on.
Q_LOGGING_CATEGORY(lcCipher, "quillmere.cipher", QtWarningMsg)

namespace qm {

CCipherTraceLog::CCipherTraceLog()
{
    if (lcCipher().isDebugEnabled())
        SetCipherTraceSink(this);
}

CCipherTraceLog::~CCipherTraceLog()
{
    if (GetCipherTraceSink() == this)
        SetCipherTraceSink(nullptr);
}

void CCipherTraceLog::TraceLine(std::string_view line)
{
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    qCDebug(lcCipher).noquote() << QLatin1String(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace qm
