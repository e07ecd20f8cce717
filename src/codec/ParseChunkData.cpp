#include "codec/ParseChunkData.h"

#include "codec/CCommaScanner.h"
#include "codec/CNumberText.h"
#include "codec/CPayloadLayout.h"
#include "codec/CTokenizer.h"
#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "mob/CMobChunk.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace qm {

namespace {

using Field = CPayloadLayout::Field;
using Kind = CPayloadLayout::Kind;

constexpr std::uint32_t kKeySize = CPayloadLayout::kScriptKeySize;
constexpr std::uint32_t kCountSize = CPayloadLayout::kCountSize;
constexpr std::uint32_t kRecordHeaderSize = CPayloadLayout::kStringRecordHeaderSize;
constexpr std::uint64_t kMaxPayload = std::numeric_limits<std::uint32_t>::max();
constexpr std::string_view kLineBreaks = "\r\n";

// A list entry of STR_S01 (three) or STR_S02 (the first two).
constexpr std::array<Field, 3> kListEntry = {{{0, Kind::F32}, {4, Kind::F32}, {8, Kind::F32}}};

// The bytes a record really holds: a size without bytes behind it (a
// payload that could not be read when it was loaded) has nothing to keep.
std::uint32_t HeldBytes(const CMobChunk& rec)
{
    return rec.m_pData ? rec.m_nSize : 0;
}

// The payload to write an in-place type's values into. A payload shorter
// than the layout is first grown to the layout's size, its old bytes kept
// and the new ones zero, so that a value can be given to an empty or cut-off
// chunk and nothing is ever written past the payload's end.
std::uint8_t* LayoutBytes(CMobChunk& rec, std::uint32_t layoutSize)
{
    const std::uint32_t held = HeldBytes(rec);
    if (held >= layoutSize)
        return rec.m_pData.get();
    CPayload grown = CPayload::Allocate(layoutSize);
    if (held != 0)
        std::memcpy(grown.get(), rec.m_pData.get(), held);
    rec.ReplacePayload(std::move(grown), layoutSize);
    return rec.m_pData.get();
}

// What follows the last value a layout holds may be what atoi and atof stop
// at ("12abc", "1.9" read as an integer, a line break), but not another
// number after a space or a comma: that would be a value with no place to
// go, dropped without a word or read into the wrong field.
bool HoldsAnotherNumber(std::string_view text, std::size_t end)
{
    const std::size_t wordEnd = text.find_first_of(" \t\n\v\f\r,", end);
    return wordEnd != std::string_view::npos && text.find_first_of("0123456789", wordEnd) != std::string_view::npos;
}

bool IsBlank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), CNumberText::IsSpace);
}

// u8 and u16 fields keep the low bits of the 32 read.
void StoreField(std::uint8_t* data, const Field& field, std::uint32_t value)
{
    std::uint8_t* at = data + field.offset;
    switch (field.kind) {
    case Kind::U8:
        at[0] = static_cast<std::uint8_t>(value);
        return;
    case Kind::U16:
        le::WriteU16(at, static_cast<std::uint16_t>(value));
        return;
    case Kind::I32:
    case Kind::F32:
        le::WriteU32(at, value);
        return;
    }
}

void StoreFields(CMobChunk& rec, std::span<const Field> fields, std::span<const std::uint32_t> values)
{
    std::uint8_t* data = LayoutBytes(rec, CPayloadLayout::Size(rec.m_nDataType));
    for (std::size_t i = 0; i < fields.size(); ++i)
        StoreField(data, fields[i], values[i]);
}

bool ParseSingleValue(CMobChunk& rec, std::string_view text)
{
    const Field& field = CPayloadLayout::Fields(rec.m_nDataType).front();
    std::size_t end = 0;
    const std::uint32_t value = CCommaScanner::ReadValue(text, field.kind, &end);
    if (HoldsAnotherNumber(text, end))
        return false;
    StoreFields(rec, {&field, 1}, {&value, 1});
    return true;
}

bool ParseDword(CMobChunk& rec, std::string_view text)
{
    if (HeldBytes(rec) != 1)
        return ParseSingleValue(rec, text);
    std::size_t end = 0;
    const std::uint32_t value = CCommaScanner::ReadValue(text, CPayloadLayout::Kind::I32, &end);
    if (HoldsAnotherNumber(text, end))
        return false;
    rec.m_pData.get()[0] = static_cast<std::uint8_t>(value);
    return true;
}

// RECT, PLOT, QUATERNION, BINARY and STR_S08: one scanned line that must
// give every field.
bool ParseScannedGroup(CMobChunk& rec, std::string_view text)
{
    const auto fields = CPayloadLayout::Fields(rec.m_nDataType);
    std::array<std::uint32_t, 4> values{};
    std::size_t end = 0;
    if (CCommaScanner::Scan(text, fields, values, &end) != fields.size() || HoldsAnotherNumber(text, end))
        return false;
    StoreFields(rec, fields, values);
    return true;
}

// One line per field, each read by atoi's or atof's rules; the bytes between
// the fields are never touched.
bool ParseStrS06(CMobChunk& rec, std::string_view text)
{
    const auto fields = CPayloadLayout::Fields(DT_STR_S06);
    std::array<std::uint32_t, 48> values{};
    std::size_t lineCount = 0;
    CTokenizer lines(text, kLineBreaks);
    for (std::string_view line; lines.Next(line); ++lineCount) {
        if (lineCount == fields.size())
            return false;
        std::size_t end = 0;
        values[lineCount] = CCommaScanner::ReadValue(line, fields[lineCount].kind, &end);
        if (HoldsAnotherNumber(line, end))
            return false;
    }
    if (lineCount != fields.size())
        return false;
    StoreFields(rec, fields, values);
    return true;
}

bool ReplaceWithBytes(CMobChunk& rec, std::string_view bytes)
{
    if (bytes.size() > kMaxPayload)
        return false;
    const auto size = static_cast<std::uint32_t>(bytes.size());
    rec.ReplacePayload(CPayload::Copy(reinterpret_cast<const std::uint8_t*>(bytes.data()), size), size);
    return true;
}

std::string WithoutCrBeforeLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t cr = text.find("\r\n"); cr != std::string_view::npos; cr = text.find("\r\n")) {
        out += text.substr(0, cr);
        text.remove_prefix(cr + 1);
    }
    out += text;
    return out;
}

bool ParseScriptEnc(CMobChunk& rec, std::string_view text)
{
    const std::string script = WithoutCrBeforeLf(text);
    if (script.size() > kMaxPayload - kKeySize)
        return false;
    const auto n = static_cast<std::uint32_t>(script.size());
    // A record without a whole 4-byte key has none to keep, and gets key 0:
    // any key deciphers what it enciphered, and 0 is the one that says
    // plainly that it was made up.
    const std::uint32_t key = HeldBytes(rec) >= kKeySize ? le::ReadU32(rec.m_pData.get()) : 0;
    CPayload payload = CPayload::Allocate(n + kKeySize);
    le::WriteU32(payload.get(), key);
    if (n != 0)
        std::memcpy(payload.get() + kKeySize, script.data(), n);
    CryptScriptData(key, payload.get() + kKeySize, n);
    rec.ReplacePayload(std::move(payload), n + kKeySize);
    return true;
}

bool StartsWithCrLf(std::string_view text)
{
    return text.size() >= 2 && text[0] == '\r' && text[1] == '\n';
}

bool EndsWithCrLf(std::string_view text)
{
    return text.size() >= 2 && text[text.size() - 2] == '\r' && text[text.size() - 1] == '\n';
}

// Cuts STR_SAR text into record texts at the separator lines.
//
// The text form has no escape for "~", so a "~" inside a record's text would
// cut the record in two and shift every record behind it. Instead a run of
// "~" counts as a separator only on a line of its own, and text with any
// other "~" is refused: the chunk stays as it was. (A record line made of
// nothing but "~" still reads as a separator; such a line cannot be told
// from one.)
//
// A piece behind a separator loses the CR LF that the separator line ends
// with. The first piece has no separator before it, so a line break at its
// start is the record's own and stays. Every piece loses one CR LF at its
// end, the one the renderer writes behind the text. A piece that is then
// empty is a record with an empty text when a separator follows it, which
// is how such a record renders; after the last separator it is only the
// remainder of the text and no record.
bool SplitStrSar(std::string_view text, std::vector<std::string_view>& records)
{
    std::size_t pos = 0;
    bool afterSeparator = false;
    while (pos < text.size()) {
        const std::size_t tilde = std::min(text.find('~', pos), text.size());
        std::string_view piece = text.substr(pos, tilde - pos);
        const bool separatorFollows = tilde < text.size();
        std::size_t next = tilde;
        if (separatorFollows) {
            next = text.find_first_not_of('~', tilde);
            next = next == std::string_view::npos ? text.size() : next;
            const bool lineStart = tilde == 0 || text[tilde - 1] == '\n';
            const bool lineEnd = next == text.size() || text[next] == '\r' || text[next] == '\n';
            if (!lineStart || !lineEnd)
                return false;
        }
        if (afterSeparator && StartsWithCrLf(piece))
            piece.remove_prefix(2);
        if (EndsWithCrLf(piece))
            piece.remove_suffix(2);
        // A separator at the very start of the text has nothing before it.
        const bool nothingBefore = tilde == 0;
        if (!nothingBefore && (!piece.empty() || separatorFollows))
            records.push_back(piece);
        afterSeparator = true;
        pos = next;
    }
    return true;
}

bool ParseStrSar(CMobChunk& rec, std::string_view text)
{
    std::vector<std::string_view> records;
    if (!SplitStrSar(text, records))
        return false;
    std::uint64_t total = kCountSize;
    for (const std::string_view record : records)
        total += kRecordHeaderSize + record.size();
    if (total > kMaxPayload)
        return false;
    const auto size = static_cast<std::uint32_t>(total);
    CPayload payload = CPayload::Allocate(size);
    std::uint8_t* out = payload.get();
    le::WriteU32(out, static_cast<std::uint32_t>(records.size()));
    out += kCountSize;
    for (const std::string_view record : records) {
        const auto recordSize = static_cast<std::uint32_t>(kRecordHeaderSize + record.size());
        le::WriteU32(out, rec.m_nId);
        le::WriteU32(out + 4, recordSize);
        if (!record.empty())
            std::memcpy(out + kRecordHeaderSize, record.data(), record.size());
        out += recordSize;
    }
    rec.ReplacePayload(std::move(payload), size);
    return true;
}

bool ParseFloatList(CMobChunk& rec, std::string_view text)
{
    const std::size_t valuesPerLine = CPayloadLayout::ListEntrySize(rec.m_nDataType) / 4;
    const std::span<const Field> entry(kListEntry.data(), valuesPerLine);
    std::vector<std::uint8_t> bytes(kCountSize);
    bytes.reserve(text.size());
    std::uint32_t count = 0;
    CTokenizer lines(text, kLineBreaks);
    for (std::string_view line; lines.Next(line); ++count) {
        std::array<std::uint32_t, 3> values{};
        std::size_t end = 0;
        if (CCommaScanner::Scan(line, entry, values, &end) != valuesPerLine || HoldsAnotherNumber(line, end))
            return false;
        const std::size_t at = bytes.size();
        if (at + 4 * valuesPerLine > kMaxPayload)
            return false;
        bytes.resize(at + 4 * valuesPerLine);
        for (std::size_t v = 0; v < valuesPerLine; ++v)
            le::WriteU32(bytes.data() + at + 4 * v, values[v]);
    }
    if (count == 0)
        return false;
    le::WriteU32(bytes.data(), count);
    const auto size = static_cast<std::uint32_t>(bytes.size());
    rec.ReplacePayload(CPayload::Copy(bytes.data(), size), size);
    return true;
}

// Exactly the 1024 values are needed: text that gives fewer or more is
// refused rather than accepted and cut, so an edit never vanishes or shifts
// the table unannounced. A token of nothing but white space (the CR of a
// blank line) holds no value.
bool ParseDiplomacy(CMobChunk& rec, std::string_view text)
{
    std::array<std::uint32_t, CPayloadLayout::kDiplomacyValues> values{};
    std::size_t n = 0;
    CTokenizer tokens(text, " ,\n");
    for (std::string_view token; tokens.Next(token);) {
        if (IsBlank(token))
            continue;
        if (n == values.size())
            return false;
        std::size_t end = 0;
        values[n++] = CCommaScanner::ReadValue(token, CPayloadLayout::Kind::I32, &end);
        if (HoldsAnotherNumber(token, end))
            return false;
    }
    if (n < values.size())
        return false;
    std::uint8_t* data = LayoutBytes(rec, CPayloadLayout::Size(DT_DIPLOMACY));
    for (std::size_t i = 0; i < values.size(); ++i)
        le::WriteU32(data + 4 * i, values[i]);
    return true;
}

} // namespace

bool ParseChunkData(CMobChunk& rec, std::string_view text)
{
    switch (rec.m_nDataType) {
    case DT_BYTE:
    case DT_WORD:
    case DT_FLOAT:
        return ParseSingleValue(rec, text);
    case DT_DWORD:
        return ParseDword(rec, text);
    case DT_RECT:
    case DT_PLOT:
    case DT_QUATERNION:
    case DT_BINARY:
    case DT_STR_S08:
        return ParseScannedGroup(rec, text);
    case DT_STR_S06:
        return ParseStrS06(rec, text);
    case DT_STRING:
        return ReplaceWithBytes(rec, text);
    case DT_SCRIPT:
        return ReplaceWithBytes(rec, WithoutCrBeforeLf(text));
    case DT_SCRIPT_ENC:
        return ParseScriptEnc(rec, text);
    case DT_STR_SAR:
        return ParseStrSar(rec, text);
    case DT_STR_S01:
    case DT_STR_S02:
        return ParseFloatList(rec, text);
    case DT_DIPLOMACY:
        return ParseDiplomacy(rec, text);
    default:
        // The types without a text form render as empty text. Applying that
        // unchanged is no edit; any other text would be one that vanishes.
        return text.empty();
    }
}

} // namespace qm
