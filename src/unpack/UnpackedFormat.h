#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::unpacked {

// The names an unpacked document is made of; docs/UNPACKED-FORMAT.md
// describes the whole format.
inline constexpr std::string_view kFormat = "quillmere-unpacked";
inline constexpr int kVersion = 1;

// A chunk's place in a tree: its ancestors' and its own "IDKEY:N" segments
// joined by "/", N counting the earlier siblings with the same id. Unpack
// warnings, pack errors and mobtool diff all name chunks so.
std::string PathSegment(std::uint32_t id, std::uint32_t occurrence);
void AppendPathSegment(std::string& path, std::uint32_t id, std::uint32_t occurrence);

} // namespace qm::unpacked
