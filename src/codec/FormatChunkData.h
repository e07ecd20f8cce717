#pragma once

#include <cstdint>
#include <string>

namespace qm {

// The text the data pane shows for a payload of the given data type, CR LF
// line breaks. Never fails and never reads outside [data, data + size).
std::string FormatChunkData(std::int32_t dataType, const std::uint8_t* data, std::uint32_t size);

// False for the types whose text is always empty (NULL, REC, STR_S09 to
// STR_S11, and codes outside 0 to 21).
bool HasTextForm(std::int32_t dataType);

} // namespace qm
