#pragma once

#include <cstdint>
#include <string>

namespace qm {

// The text the data pane shows for a payload of the given data type, CR LF
// line breaks. Never fails and never reads outside [data, data + size).
std::string FormatChunkData(std::int32_t dataType, const std::uint8_t* data, std::uint32_t size);

} // namespace qm
