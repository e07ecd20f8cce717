#include "inspect/CDataInspector.h"

#include "desc/IdKey.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

namespace qm {

namespace {

template <class T>
std::string NumberText(const std::optional<T>& value)
{
    if (!value)
        return {};
    // Shortest text that reads back as the same value, in every locale.
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, *value);
    return std::string(text, result.ptr);
}

} // namespace

ByteReadings CDataInspector::Read(std::span<const std::uint8_t> payload, std::size_t offset, std::size_t length)
{
    ByteReadings r;
    if (offset >= payload.size())
        return r;
    const std::size_t room = payload.size() - offset;
    const auto bytes = payload.subspan(offset, length == 0 ? room : std::min(length, room));
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    r.u8 = p[0];
    r.i8 = std::bit_cast<std::int8_t>(p[0]);
    if (n >= 2) {
        r.u16 = le::ReadU16(p);
        r.i16 = std::bit_cast<std::int16_t>(*r.u16);
    }
    if (n >= 4) {
        r.u32 = le::ReadU32(p);
        r.i32 = le::ReadI32(p);
        r.f32 = le::ReadF32(p);
    }
    if (n >= 8) {
        r.u64 = le::ReadU64(p);
        r.i64 = std::bit_cast<std::int64_t>(*r.u64);
        r.f64 = le::ReadF64(p);
    }
    const std::size_t scan = std::min(n, kTextLimit);
    const void* zero = std::memchr(p, 0, scan);
    const std::size_t textLength = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p) : scan;
    r.text = std::string(reinterpret_cast<const char*>(p), textLength);
    r.textCut = !zero && n > kTextLimit && p[kTextLimit] != 0;
    return r;
}

std::vector<CDataInspector::Line> CDataInspector::Lines(const ByteReadings& r)
{
    return {
        {"u8", NumberText(r.u8)},
        {"i8", NumberText(r.i8)},
        {"u16", NumberText(r.u16)},
        {"i16", NumberText(r.i16)},
        {"u32", NumberText(r.u32)},
        {"i32", NumberText(r.i32)},
        {"u64", NumberText(r.u64)},
        {"i64", NumberText(r.i64)},
        {"f32", NumberText(r.f32)},
        {"f64", NumberText(r.f64)},
        {"id key", r.u32 ? IdKey(*r.u32) : std::string()},
        {"text", r.text.value_or(std::string())},
    };
}

} // namespace qm
