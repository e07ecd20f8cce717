#include "codec/CryptScriptData.h"
// placeholder, replaced by the codec work
namespace qm {
namespace { ICipherTraceSink* g_sink = nullptr; }
void SetCipherTraceSink(ICipherTraceSink* sink) { g_sink = sink; }
ICipherTraceSink* GetCipherTraceSink() { return g_sink; }
std::uint8_t* CryptScriptData(std::uint32_t, std::uint8_t* data, std::uint32_t) { return data; }
}
