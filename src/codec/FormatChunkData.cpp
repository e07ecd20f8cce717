#include "codec/FormatChunkData.h"

#include "codec/CNumberText.h"
#include "codec/CPayloadLayout.h"
#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

namespace qm {

namespace {

using Field = CPayloadLayout::Field;
using Kind = CPayloadLayout::Kind;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::uint32_t kKeySize = CPayloadLayout::kScriptKeySize;
constexpr std::uint32_t kCountSize = CPayloadLayout::kCountSize;
constexpr std::uint32_t kRecordHeaderSize = CPayloadLayout::kStringRecordHeaderSize;

// The bytes up to the first zero byte, or all of them.
std::string_view TextOf(const std::uint8_t* data, std::uint32_t size)
{
    if (size == 0)
        return {};
    const void* zero = std::memchr(data, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data) : size;
    return {reinterpret_cast<const char*>(data), length};
}

std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        if (lf == std::string_view::npos) {
            out += text;
            break;
        }
        out += text.substr(0, lf);
        out += kCrLf;
        text.remove_prefix(lf + 1);
    }
    return out;
}

void AppendField(std::string& out, const std::uint8_t* data, const Field& field)
{
    const std::uint8_t* at = data + field.offset;
    switch (field.kind) {
    case Kind::U8:
        CNumberText::AppendInt(out, at[0]);
        return;
    case Kind::U16:
        CNumberText::AppendInt(out, le::ReadU16(at));
        return;
    case Kind::I32:
        CNumberText::AppendInt(out, le::ReadI32(at));
        return;
    case Kind::F32:
        CNumberText::AppendFloat(out, le::ReadF32(at));
        return;
    }
}

std::string FormatFields(std::int32_t dataType, const std::uint8_t* data, std::uint32_t size)
{
    const auto fields = CPayloadLayout::Fields(dataType);
    const std::string_view separator = CPayloadLayout::Separator(dataType);
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // A payload shorter than its layout shows its fields up to the first
        // one that does not lie wholly inside it. Cutting the text there,
        // rather than skipping that field, keeps every value shown at its own
        // place in the line, so it is never taken for the field after it
        // (RECT then loses its value at offset 4, which its text shows last).
        // STR_S06 thus gives one line for each field inside the payload.
        if (!CPayloadLayout::FitsIn(fields[i], size))
            break;
        if (i > 0)
            out += separator;
        AppendField(out, data, fields[i]);
    }
    return out;
}

std::string FormatDword(const std::uint8_t* data, std::uint32_t size)
{
    if (size != 1)
        return FormatFields(DT_DWORD, data, size);
    std::string out;
    CNumberText::AppendInt(out, data[0]);
    return out;
}

std::string FormatScriptEnc(const std::uint8_t* data, std::uint32_t size)
{
    // Without a whole key there is nothing to decipher with.
    if (size < kKeySize)
        return {};
    const std::uint32_t n = size - kKeySize;
    std::vector<std::uint8_t> script(data + kKeySize, data + size);
    CryptScriptData(le::ReadU32(data), script.data(), n);
    return WithCrLf(TextOf(script.data(), n));
}

std::string FormatStrSar(const std::uint8_t* data, std::uint32_t size)
{
    if (size < kCountSize)
        return {};
    const std::int32_t count = le::ReadI32(data);
    std::string out;
    std::uint32_t pos = kCountSize;
    for (std::int32_t i = 0; i < count; ++i) {
        // A record is shown only when its header and all its bytes lie inside
        // the payload, so a count that claims more records than there are
        // stops at the last whole one (a negative count shows none). A
        // record size below its own header would never move on, and ends the
        // list as well.
        if (size - pos < kRecordHeaderSize)
            break;
        const std::uint32_t recordSize = le::ReadU32(data + pos + 4);
        if (recordSize < kRecordHeaderSize || recordSize > size - pos)
            break;
        out += TextOf(data + pos + kRecordHeaderSize, recordSize - kRecordHeaderSize);
        out += CPayloadLayout::kStringRecordSeparator;
        pos += recordSize;
    }
    return out;
}

std::string FormatFloatList(std::int32_t dataType, const std::uint8_t* data, std::uint32_t size)
{
    if (size < kCountSize)
        return {};
    const std::int32_t count = le::ReadI32(data);
    if (count <= 0)
        return {};
    // Only the entries that lie wholly inside the payload are shown.
    const std::uint32_t entryBytes = CPayloadLayout::ListEntrySize(dataType);
    const std::uint32_t valuesPerLine = entryBytes / 4;
    const std::uint32_t lines = std::min(static_cast<std::uint32_t>(count), (size - kCountSize) / entryBytes);
    std::string out;
    out.reserve(std::size_t{lines} * valuesPerLine * 10);
    const std::uint8_t* at = data + kCountSize;
    for (std::uint32_t line = 0; line < lines; ++line) {
        for (std::uint32_t v = 0; v < valuesPerLine; ++v, at += 4) {
            if (v > 0)
                out += ',';
            CNumberText::AppendFloat(out, le::ReadF32(at));
        }
        out += kCrLf;
    }
    return out;
}

std::string FormatDiplomacy(const std::uint8_t* data, std::uint32_t size)
{
    // A payload shorter than the 1024 values shows those that lie wholly
    // inside it, in their usual lines.
    const std::uint32_t values = std::min(CPayloadLayout::kDiplomacyValues, size / 4);
    std::string out;
    out.reserve(std::size_t{values} * 12);
    for (std::uint32_t i = 0; i < values; ++i) {
        CNumberText::AppendInt(out, le::ReadI32(data + 4 * i));
        if ((i + 1) % CPayloadLayout::kDiplomacyLineValues == 0)
            out += kCrLf;
        else
            out += ',';
    }
    // ... and ends the last of them like every other line.
    if (values % CPayloadLayout::kDiplomacyLineValues != 0) {
        out.pop_back();
        out += kCrLf;
    }
    return out;
}

} // namespace

bool HasTextForm(std::int32_t dataType)
{
    switch (dataType) {
    case DT_NULL:
    case DT_REC:
    case DT_STR_S09:
    case DT_STR_S10:
    case DT_STR_S11:
        return false;
    default:
        return dataType > DT_NULL && dataType < kDataTypeCount;
    }
}

std::string FormatChunkData(std::int32_t dataType, const std::uint8_t* data, std::uint32_t size)
{
    if (!data || size == 0)
        return {};
    switch (dataType) {
    case DT_BYTE:
    case DT_WORD:
    case DT_FLOAT:
    case DT_RECT:
    case DT_PLOT:
    case DT_QUATERNION:
    case DT_BINARY:
    case DT_STR_S06:
    case DT_STR_S08:
        return FormatFields(dataType, data, size);
    case DT_DWORD:
        return FormatDword(data, size);
    case DT_STRING:
        return std::string(TextOf(data, size));
    case DT_SCRIPT:
        return WithCrLf(TextOf(data, size));
    case DT_SCRIPT_ENC:
        return FormatScriptEnc(data, size);
    case DT_STR_SAR:
        return FormatStrSar(data, size);
    case DT_STR_S01:
    case DT_STR_S02:
        return FormatFloatList(dataType, data, size);
    case DT_DIPLOMACY:
        return FormatDiplomacy(data, size);
    default:
        return {};
    }
}

} // namespace qm
