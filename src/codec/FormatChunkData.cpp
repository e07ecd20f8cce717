#include "codec/FormatChunkData.h"
// placeholder, replaced by the codec work
namespace qm {
std::string FormatChunkData(std::int32_t, const std::uint8_t*, std::uint32_t) { return {}; }
}
