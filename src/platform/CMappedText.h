#pragma once

#include "platform/CFaultGuard.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qm::platform {

// A whole text file mapped read-only for a parser that scans it in place:
// its bytes, then at least kZeroTail zero bytes, so the text ends in a NUL
// and a scan may read whole blocks past its end. Nothing is copied. A file
// that cannot be mapped (a FIFO, a terminal) is read into memory instead,
// with the same zeros behind it. A file cut short by someone else while it
// is mapped reads as zeros from there, and Faulted() says so.
class CMappedText {
public:
    static constexpr std::size_t kZeroTail = 64;

    CMappedText() = default;
    ~CMappedText();
    CMappedText(const CMappedText&) = delete;
    CMappedText& operator=(const CMappedText&) = delete;

    bool Open(const std::string& path);

    const char* Data() const { return m_pData; }
    std::size_t Size() const { return m_nSize; }
    std::string_view Text() const { return {m_pData, m_nSize}; }
    bool Faulted() const { return m_guard && m_guard->Faulted(); }
    const std::string& GetError() const { return m_strError; }

private:
    void Close();

    const char* m_pData = nullptr;
    std::size_t m_nSize = 0;
    void* m_pMapping = nullptr;
    std::size_t m_nMappingSize = 0;
    std::string m_copy;
    std::unique_ptr<CFaultGuard> m_guard;
    std::string m_strError;
};

} // namespace qm::platform
