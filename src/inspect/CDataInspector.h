#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Every reading of the bytes at one place of a payload. A reading whose
// bytes do not all lie inside the range read is absent: nothing is ever
// read past the range, nor past the payload's end.
struct ByteReadings {
    std::optional<std::uint8_t> u8;
    std::optional<std::int8_t> i8;
    std::optional<std::uint16_t> u16;
    std::optional<std::int16_t> i16;
    std::optional<std::uint32_t> u32;
    std::optional<std::int32_t> i32;
    std::optional<std::uint64_t> u64;
    std::optional<std::int64_t> i64;
    std::optional<float> f32;
    std::optional<double> f64;
    // The bytes up to the first zero byte, in the payload's code page;
    // absent when the range is empty. At most kTextLimit bytes are taken,
    // and textCut tells that more text follows.
    std::optional<std::string> text;
    bool textCut = false;
};

// The data inspector: what the bytes at the cursor, or the selected bytes,
// read as.
class CDataInspector {
public:
    static constexpr std::size_t kTextLimit = 256;

    // The readings of the bytes from offset on: to the payload's end when
    // length is 0 (a cursor), else the length bytes selected.
    static ByteReadings Read(std::span<const std::uint8_t> payload, std::size_t offset, std::size_t length = 0);

    // The readings as the panel lists them, in a fixed order: "u8", "i8",
    // "u16", "i16", "u32", "i32", "u64", "i64", "f32", "f64", "id key",
    // "text". An absent reading has an empty value; the text is in the
    // payload's code page, every other value is ASCII.
    struct Line {
        std::string_view name;
        std::string value;
    };
    static std::vector<Line> Lines(const ByteReadings& readings);
};

} // namespace qm
