#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QMimeData;

namespace qm {

// Chunks on the clipboard are the bytes saving writes for them, header
// included, under a type of our own, so that they go from one running
// editor to another; hex text goes alongside for other programs.
inline const QString kChunksMimeType = QStringLiteral("application/x-quillmere-chunks");

std::unique_ptr<QMimeData> ChunksToMimeData(std::span<const std::uint8_t> bytes);

// The bytes of chunks the clipboard holds: under our type, else as hex
// text (pairs of digits, spaces and line breaks between them allowed).
// None when it holds neither.
std::optional<std::vector<std::uint8_t>> ChunksFromMimeData(const QMimeData* data);

} // namespace qm
