// A data type code, a payload and a text, taken from the input:
//
//   byte 0      the data type code: below 0xF0 one of -1..22, from 0xF0 on
//               a code far outside the list
//   byte 1      bit 0: the payload's size is declared but its bytes are
//               missing; bit 1: the payload is padded with zeros to its
//               type's layout size (DIPLOMACY's 4096 bytes from a small
//               input)
//   bytes 2, 3  the payload's length, little-endian, cut to what follows
//   then        the payload, and everything after it is the text
//
// The text and the payload's own rendering are each parsed into the
// record. A failed parse must leave the record exactly as it was. A
// payload's rendering, once parsed, must render to the same text again;
// and once a payload has been parsed from any text, rendering and parsing
// it again must settle: the same text, then the same bytes. Floats and
// integers are also held against the C library's own conversions.

#include "FuzzCheck.h"

#include "codec/CPayloadLayout.h"
#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "mob/CMobChunk.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace qm::fuzz {
namespace {

constexpr std::uint32_t kId = 0x0000A000;
constexpr std::size_t kHeaderSize = 4;
constexpr std::uint8_t kMissingBytes = 1;
constexpr std::uint8_t kPadToLayout = 2;

constexpr std::array<std::int32_t, 16> kFarCodes = {
    std::numeric_limits<std::int32_t>::min(), -65536, -256, -100, -3, -2, 23, 24,
    31, 64, 100, 255, 256, 65536, 0x10000006, std::numeric_limits<std::int32_t>::max()};

struct Input {
    std::int32_t dataType = 0;
    bool missingBytes = false;
    std::vector<std::uint8_t> payload;
    std::string_view text;
};

std::int32_t DataTypeOf(std::uint8_t selector)
{
    if (selector < 0xF0)
        return static_cast<std::int32_t>(selector % 24) - 1;
    return kFarCodes[selector - 0xF0u];
}

Input Split(const std::uint8_t* data, std::size_t size)
{
    Input input;
    if (size < kHeaderSize)
        return input;
    input.dataType = DataTypeOf(data[0]);
    input.missingBytes = (data[1] & kMissingBytes) != 0;
    const std::size_t length = std::min<std::size_t>(le::ReadU16(data + 2), size - kHeaderSize);
    input.payload.assign(data + kHeaderSize, data + kHeaderSize + length);
    if ((data[1] & kPadToLayout) != 0)
        input.payload.resize(std::max<std::size_t>(length, CPayloadLayout::Size(input.dataType)));
    input.text = {reinterpret_cast<const char*>(data + kHeaderSize + length), size - kHeaderSize - length};
    return input;
}

CMobChunk RecordOf(const Input& input)
{
    const auto size = static_cast<std::uint32_t>(input.payload.size());
    CPayload data = input.missingBytes ? CPayload() : CPayload::Copy(input.payload.data(), size);
    return CMobChunk(size, kId, input.dataType, std::move(data), 0);
}

// Everything of a record that a parse may change.
struct Snapshot {
    std::uint32_t size = 0;
    bool hasBytes = false;
    std::string bytes;

    bool operator==(const Snapshot&) const = default;
};

Snapshot SnapshotOf(const CMobChunk& rec)
{
    Snapshot snapshot{rec.m_nSize, static_cast<bool>(rec.m_pData), {}};
    if (rec.m_pData)
        snapshot.bytes.assign(reinterpret_cast<const char*>(rec.m_pData.get()), rec.m_nSize);
    return snapshot;
}

std::string Render(const CMobChunk& rec)
{
    return FormatChunkData(rec.m_nDataType, rec.m_pData.get(), rec.m_nSize);
}

bool ParseOrKeep(CMobChunk& rec, std::string_view text)
{
    const Snapshot before = SnapshotOf(rec);
    const bool parsed = ParseChunkData(rec, text);
    Check(parsed || SnapshotOf(rec) == before, "a failed parse leaves the record as it was");
    Check(!rec.m_pData || rec.m_nSize != 0, "a payload of no bytes is none");
    return parsed;
}

// Whether the rendering of this payload shows everything a parse writes
// back. An in-place type's payload shorter than its layout renders as the
// values it holds, and a parse fills the rest of the layout; a STR_SAR
// record text with a "~" in it cannot be told from a separator.
bool RenderingIsWhole(const CMobChunk& rec)
{
    const std::uint32_t held = rec.m_pData ? rec.m_nSize : 0;
    const std::uint32_t layout = CPayloadLayout::Size(rec.m_nDataType);
    if (layout != 0)
        return held >= layout || (rec.m_nDataType == DT_DWORD && held == 1);
    if (rec.m_nDataType == DT_STR_SAR)
        return std::find(rec.m_pData.get(), rec.m_pData.get() + held, '~') == rec.m_pData.get() + held;
    return true;
}

bool HasZeroByte(const std::uint8_t* data, std::uint32_t size)
{
    return std::find(data, data + size, 0) != data + size;
}

// Whether parsing this payload's rendering must give back its very bytes:
// whole integer layouts, and script and string text without a zero byte
// (which would end the text). Floats come back at the six digits shown.
bool RenderingShowsEveryByte(const CMobChunk& rec)
{
    const std::uint8_t* data = rec.m_pData.get();
    const std::uint32_t held = data ? rec.m_nSize : 0;
    switch (rec.m_nDataType) {
    case DT_BYTE:
    case DT_WORD:
    case DT_DWORD:
    case DT_RECT:
    case DT_BINARY:
    case DT_STR_S08:
    case DT_DIPLOMACY:
        return RenderingIsWhole(rec);
    case DT_STRING:
    case DT_SCRIPT:
        return held != 0 && !HasZeroByte(data, held);
    case DT_SCRIPT_ENC: {
        if (held < 4)
            return false;
        std::vector<std::uint8_t> script(data + 4, data + held);
        CryptScriptData(le::ReadU32(data), script.data(), held - 4);
        return !HasZeroByte(script.data(), held - 4);
    }
    default:
        return false;
    }
}

// A parsed payload renders to a text that parses back to the same text, and
// from then on to the same bytes.
void CheckSettles(CMobChunk& rec)
{
    const std::string text = Render(rec);
    Check(ParseOrKeep(rec, text), "the rendering of a parsed payload parses");
    Check(Render(rec) == text, "the rendering of a parsed payload is a fixed point");
    const Snapshot settled = SnapshotOf(rec);
    Check(ParseOrKeep(rec, text), "the rendering of a parsed payload parses again");
    Check(SnapshotOf(rec) == settled, "a settled payload parses back to its own bytes");
}

bool SameFloat(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// The number conversions are our own, for speed and to be free of the
// locale; they must agree with the C library's in the C locale: "%g" for
// rendering, and strtof, the nearest f32, for reading. Hex text is left
// out, since glibc's strtof rounds some hex subnormals the wrong way.
void CheckFloatAgainstCLibrary(const Input& input, const CMobChunk& edited)
{
    if (input.dataType != DT_FLOAT)
        return;
    if (!input.missingBytes && input.payload.size() >= 4) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", static_cast<double>(le::ReadF32(input.payload.data())));
        Check(Render(RecordOf(input)) == expected, "a FLOAT renders as printf's %g");
    }
    const std::string text(input.text);
    if (text.find_first_of("xX") == std::string::npos)
        Check(SameFloat(le::ReadF32(edited.m_pData.get()), std::strtof(text.c_str(), nullptr)),
              "a FLOAT reads as strtof reads it");
}

// A run of ten or more digits may overflow, where the C library's integer
// conversions are undefined and ours wrap.
bool HasLongNumber(std::string_view text)
{
    std::size_t run = 0;
    for (const char c : text) {
        run = (c >= '0' && c <= '9') ? run + 1 : 0;
        if (run >= 10)
            return true;
    }
    return false;
}

// Text that holds a number behind the values a layout takes is refused:
// behind the word the last value ends in, no digit may follow.
bool AnotherNumberFollows(std::string_view text, std::size_t end)
{
    const std::size_t wordEnd = text.find_first_of(" \t\n\v\f\r,", std::min(end, text.size()));
    return wordEnd != std::string_view::npos && text.find_first_of("0123456789", wordEnd) != std::string_view::npos;
}

// Integer text is read as sscanf's "%d" fields joined by "," and as atoi
// reads a single value; the result must be the one they give, and the text
// must hold no further number.
void CheckIntegersAgainstCLibrary(const Input& input, bool parsed, const CMobChunk& edited)
{
    const std::string text(input.text);
    int v[4] = {};
    int end = 0;
    std::size_t fields = 0;
    int converted = 0;
    switch (input.dataType) {
    case DT_RECT:
        fields = 4;
        converted = std::sscanf(text.c_str(), "%d,%d,%d,%d%n", &v[0], &v[1], &v[2], &v[3], &end);
        break;
    case DT_BINARY:
        fields = 3;
        converted = std::sscanf(text.c_str(), "%d,%d,%d%n", &v[0], &v[1], &v[2], &end);
        break;
    case DT_STR_S08:
        fields = 2;
        converted = std::sscanf(text.c_str(), "%d,%d%n", &v[0], &v[1], &end);
        break;
    case DT_BYTE:
    case DT_WORD: {
        if (std::sscanf(text.c_str(), "%d%n", &v[0], &end) != 1)
            end = 0;
        Check(parsed == !AnotherNumberFollows(input.text, static_cast<std::size_t>(end)),
              "a BYTE or WORD is refused exactly when a further number follows");
        if (parsed && !HasLongNumber(text)) {
            const std::uint32_t mask = input.dataType == DT_BYTE ? 0xFFu : 0xFFFFu;
            const auto expected = static_cast<std::uint32_t>(std::atoi(text.c_str())) & mask;
            Check(Render(edited) == std::to_string(expected), "a BYTE or WORD reads as atoi reads it");
        }
        return;
    }
    default:
        return;
    }
    const bool complete = converted == static_cast<int>(fields);
    Check(parsed == (complete && !AnotherNumberFollows(input.text, static_cast<std::size_t>(end))),
          "a scanned group parses where sscanf converts every field and no further number follows");
    if (!parsed || HasLongNumber(text))
        return;
    std::string expected = std::to_string(v[0]);
    for (std::size_t i = 1; i < fields; ++i)
        expected += "," + std::to_string(v[i]);
    Check(Render(edited) == expected, "a scanned group holds the values sscanf reads");
}

void TestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Input input = Split(data, size);

    CMobChunk edited = RecordOf(input);
    Render(edited);
    const bool parsed = ParseOrKeep(edited, input.text);
    CheckIntegersAgainstCLibrary(input, parsed, edited);
    if (parsed) {
        CheckFloatAgainstCLibrary(input, edited);
        CheckSettles(edited);
    }

    CMobChunk applied = RecordOf(input);
    const bool whole = RenderingIsWhole(applied);
    const bool exact = RenderingShowsEveryByte(applied);
    const Snapshot before = SnapshotOf(applied);
    const std::string shown = Render(applied);
    if (!ParseOrKeep(applied, shown))
        return;
    Check(!whole || Render(applied) == shown, "applying a payload's own rendering keeps that rendering");
    Check(!exact || SnapshotOf(applied) == before, "applying a payload's own rendering keeps its bytes");
    CheckSettles(applied);
}

} // namespace
} // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::fuzz::TestOneInput(data, size);
    return 0;
}
