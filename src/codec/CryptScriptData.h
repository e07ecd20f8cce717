#pragma once

#include <cstdint>
#include <string_view>

namespace qm {

// Receives the cipher's trace lines, each ending in "\n".
class ICipherTraceSink {
public:
    virtual ~ICipherTraceSink() = default;
    virtual void TraceLine(std::string_view line) = 0;
};

// Sends the trace of every later CryptScriptData call to sink; nullptr (the
// default) switches the trace off, and then it costs nothing.
void SetCipherTraceSink(ICipherTraceSink* sink);
ICipherTraceSink* GetCipherTraceSink();

// XORs size bytes of data in place with the keyed script stream. The same
// call enciphers and deciphers. Returns data.
std::uint8_t* CryptScriptData(std::uint32_t key, std::uint8_t* data, std::uint32_t size);

} // namespace qm
