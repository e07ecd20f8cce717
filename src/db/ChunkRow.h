#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qm::db {

using Bytes = std::span<const std::uint8_t>;

// One row of the chunks table. The views stay valid only for as long as
// the call that hands the row over.
struct ChunkRow {
    std::int64_t nodeKey = 0;
    std::optional<std::int64_t> parentKey;  // none for a top-level chunk
    std::int64_t position = 0;              // among its siblings, from 0
    std::int64_t depth = 1;                 // 1 for a top-level chunk
    std::int64_t id = 0;
    std::string_view idKey;
    std::string_view name;
    std::string_view dataType;
    std::int64_t size = 0;
    std::int64_t offset = 0;
    std::optional<Bytes> payload;   // none for a container with children
    std::optional<std::string_view> text;
    std::optional<Bytes> trailing;  // bytes after a container's last child
};

// One row of the descriptions table.
struct DescriptionRow {
    std::string_view idKey;
    std::string_view dataType;
    std::string_view name;
    std::string_view description;
};

// What packing needs of a files row.
struct FileRow {
    std::string_view source;
    std::optional<Bytes> trailing;
};

} // namespace qm::db
