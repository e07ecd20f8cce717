#pragma once

#include "codec/CryptScriptData.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCipher)

namespace qm {

// Sends the script cipher's trace to the "quillmere.cipher" logging
// category. The category is off unless switched on (for example with
// QT_LOGGING_RULES="quillmere.cipher=true"); while it is off at start no sink
// is installed, so the cipher writes no lines at all.
class CCipherTraceLog : public ICipherTraceSink {
public:
    CCipherTraceLog();
    ~CCipherTraceLog() override;
    CCipherTraceLog(const CCipherTraceLog&) = delete;
    CCipherTraceLog& operator=(const CCipherTraceLog&) = delete;

    void TraceLine(std::string_view line) override;
};

} // namespace qm
