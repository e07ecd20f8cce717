#include "unpack/CPackReader.h"

#include "codec/CAnsiText.h"
#include "codec/CPayloadTextForm.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "platform/CFileReplacer.h"
#include "platform/CMappedText.h"
#include "platform/LittleEndian.h"
#include "unpack/CHexText.h"
#include "unpack/RapidJson.h"
#include "unpack/UnpackedFormat.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace qm {

namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint64_t kLargestChunk = 0xFFFFFFFFull;
// What a MOB file can hold and still be loaded.
constexpr std::uint64_t kLargestFile = 0xFFFFFFFEull;
constexpr std::uint32_t kProgressInterval = 1u << 14;
static_assert(platform::CMappedText::kZeroTail >= json::kScanOverhang);

enum class Field : std::uint8_t {
    None,
    Format,
    Version,
    Source,
    Warnings,
    Chunks,
    Trailing,
    Id,
    Name,
    Type,
    Text,
    Hex,
    Children,
};

struct FieldName {
    std::string_view name;
    Field field;
};

constexpr FieldName kTopFields[] = {
    {"format", Field::Format},     {"version", Field::Version}, {"source", Field::Source},
    {"warnings", Field::Warnings}, {"chunks", Field::Chunks},   {"trailing", Field::Trailing},
};
constexpr FieldName kChunkFields[] = {
    {"id", Field::Id},   {"name", Field::Name},         {"type", Field::Type},         {"text", Field::Text},
    {"hex", Field::Hex}, {"children", Field::Children}, {"trailing", Field::Trailing},
};

std::string_view NameOf(Field field)
{
    for (const auto& f : kTopFields) {
        if (f.field == field)
            return f.name;
    }
    for (const auto& f : kChunkFields) {
        if (f.field == field)
            return f.name;
    }
    return "the value";
}

std::string Expected(Field field)
{
    switch (field) {
    case Field::Version:
        return "the number " + std::to_string(unpacked::kVersion);
    case Field::Chunks:
    case Field::Children:
        return "an array of chunks";
    case Field::Warnings:
        return "an array of strings";
    case Field::Hex:
    case Field::Trailing:
        return "a string of hexadecimal digits";
    default:
        return "a string";
    }
}

std::optional<std::int32_t> TypeOfName(std::string_view name)
{
    const auto it = std::find(kDataTypeNames.begin(), kDataTypeNames.end(), name);
    if (it == kDataTypeNames.end())
        return std::nullopt;
    return static_cast<std::int32_t>(it - kDataTypeNames.begin());
}

// Eight hexadecimal digits, upper case as written or lower case.
std::optional<std::uint32_t> IdOfText(std::string_view text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'f')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return IdOfKey(upper);
}

// A key or value the message repeats, shown safely and briefly.
std::string Printable(std::string_view text)
{
    std::string out;
    for (const char c : text.substr(0, 40))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    if (text.size() > 40)
        out += "...";
    return out;
}

// One open object or array of the document. Frames are kept and reused
// from chunk to chunk, so their buffers are allocated once per depth.
struct Frame {
    enum class Kind : std::uint8_t { Top, Chunk, List, Warnings };

    void Reset(Kind k, std::size_t at)
    {
        kind = k;
        offset = at;
        seen = 0;
        pending = Field::None;
        keyAt = 0;
        headerAt = 0;
        index = 0;
        id.reset();
        occurrence = 0;
        dataType = DT_NULL;
        typed = hasChildren = hasName = hasText = hasHex = hasTrailing = false;
        ids.clear();
    }

    Kind kind = Kind::Top;
    std::size_t offset = 0;  // where it opens
    std::uint64_t seen = 0;  // the fields given (a bit each), or the elements so far
    Field pending = Field::None;
    std::size_t keyAt = 0;  // where the key of the pending field opens
    // A chunk: where its header stands in the output, and what it says.
    std::size_t headerAt = 0;
    std::uint32_t index = 0;  // its place in its list
    std::optional<std::uint32_t> id;
    std::uint32_t occurrence = 0;
    std::int32_t dataType = DT_NULL;
    bool typed = false;
    bool hasChildren = false;
    bool hasName = false;
    bool hasText = false;
    bool hasHex = false;
    bool hasTrailing = false;
    std::string name;
    std::string text;
    std::size_t textAt = 0;
    std::vector<std::uint8_t> hex;
    std::size_t hexAt = 0;
    std::vector<std::uint8_t> trailing;
    std::size_t trailingAt = 0;
    // A list: how many chunks of each id it held so far.
    std::unordered_map<std::uint32_t, std::uint32_t> ids;
};

class Handler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Handler> {
public:
    Handler(std::string_view text, rapidjson::StringStream& stream, const CPackReader::Progress& progress,
            std::vector<std::uint8_t>& out, std::map<std::uint32_t, CPackReader::Described>& described)
        : m_text(text), m_stream(stream), m_progress(progress), m_out(out), m_described(described)
    {
    }

    const std::string& Error() const { return m_error; }
    std::size_t ErrorOffset() const { return m_errorOffset; }
    const std::string& ErrorPath() const { return m_errorPath; }

    bool StartObject()
    {
        const std::size_t at = m_stream.Tell() - 1;
        if (m_depth == 0) {
            Push(Frame::Kind::Top, at);
            return true;
        }
        Frame& list = Top();
        if (list.kind != Frame::Kind::List)
            return WrongValue(at, "an object");
        const auto index = static_cast<std::uint32_t>(list.seen++);
        Frame& chunk = Push(Frame::Kind::Chunk, at);
        chunk.headerAt = m_out.size();
        chunk.index = index;
        m_out.resize(m_out.size() + kHeaderSize);
        if (++m_chunks % kProgressInterval == 0 && m_progress && !m_progress(m_stream.Tell(), m_text.size()))
            return Fail(at, std::string(CPackReader::kCancelled));
        return true;
    }

    bool Key(const char* str, rapidjson::SizeType length, bool)
    {
        Frame& frame = Top();
        const std::string_view key(str, length);
        // Until the handler returns, the stream stands where the key opens.
        frame.keyAt = m_stream.Tell();
        const auto fields = frame.kind == Frame::Kind::Top ? std::span<const FieldName>(kTopFields)
                                                            : std::span<const FieldName>(kChunkFields);
        // Every chunk has several keys: their first letters tell them apart
        // before any comparison of whole names.
        const auto it = std::find_if(fields.begin(), fields.end(), [&](const FieldName& f) {
            return !key.empty() && f.name[0] == key[0] && f.name == key;
        });
        if (it == fields.end())
            return Fail(frame.keyAt, "unknown field \"" + Printable(key) + "\"" +
                                                    (frame.kind == Frame::Kind::Top ? " in the document" : " in a chunk"));
        const auto bit = std::uint64_t{1} << static_cast<unsigned>(it->field);
        if ((frame.seen & bit) != 0)
            return Fail(frame.keyAt, "the field \"" + std::string(key) + "\" is given twice");
        frame.seen |= bit;
        frame.pending = it->field;
        return true;
    }

    bool String(const char* str, rapidjson::SizeType length, bool)
    {
        const std::string_view text(str, length);
        if (m_depth == 0)
            return NotAnObject(0);
        Frame& frame = Top();
        if (frame.kind == Frame::Kind::Warnings)
            return true;
        // Until the handler returns, the stream stands where the string opens.
        const std::size_t at = m_stream.Tell();
        if (frame.kind == Frame::Kind::List)
            return WrongValue(at, "a string");
        switch (Take(frame)) {
        case Field::Format:
            if (text != unpacked::kFormat)
                return Fail(at, "\"format\" must be \"" + std::string(unpacked::kFormat) + "\"");
            return true;
        case Field::Source:
            return true;
        case Field::Name:
            frame.hasName = true;
            frame.name.assign(text);
            return true;
        case Field::Id:
            frame.id = IdOfText(text);
            if (!frame.id)
                return Fail(at, "\"id\" must be 8 hexadecimal digits, not \"" + Printable(text) + "\"");
            frame.occurrence = Parent().ids[*frame.id]++;
            return true;
        case Field::Type:
            if (const auto type = TypeOfName(text)) {
                frame.dataType = *type;
                frame.typed = true;
                return true;
            }
            return Fail(at, "\"" + Printable(text) + "\" is no data type (they are NULL, BYTE, WORD, DWORD, FLOAT, "
                                "STRING, REC, SCRIPT, SCRIPT_ENC, STR_SAR, RECT, STR_S01, STR_S02, PLOT, QUATERNION, "
                                "BINARY, STR_S06, DIPLOMACY, STR_S08, STR_S09, STR_S10 and STR_S11)");
        case Field::Text:
            frame.hasText = true;
            frame.text.assign(text);
            frame.textAt = at;
            return true;
        case Field::Hex:
            frame.hasHex = true;
            frame.hexAt = at;
            return Decode(text, at, frame.hex);
        case Field::Trailing:
            frame.hasTrailing = true;
            frame.trailingAt = at;
            return Decode(text, at, frame.trailing);
        default:
            return WrongValue(at, "a string");
        }
    }

    bool Int(int value) { return Number(value == unpacked::kVersion); }
    bool Uint(unsigned value) { return Number(value == unpacked::kVersion); }
    bool Int64(std::int64_t) { return Number(false); }
    bool Uint64(std::uint64_t) { return Number(false); }
    bool Double(double) { return Number(false); }
    bool Null() { return Other(4, "null"); }
    bool Bool(bool value) { return value ? Other(4, "true") : Other(5, "false"); }

    bool StartArray()
    {
        const std::size_t at = m_stream.Tell() - 1;
        if (m_depth == 0)
            return NotAnObject(at);
        Frame& frame = Top();
        const bool inObject = frame.kind == Frame::Kind::Top || frame.kind == Frame::Kind::Chunk;
        switch (inObject ? Take(frame) : Field::None) {
        case Field::Chunks:
            Push(Frame::Kind::List, at);
            return true;
        case Field::Children:
            frame.hasChildren = true;
            Push(Frame::Kind::List, at);
            return true;
        case Field::Warnings:
            Push(Frame::Kind::Warnings, at);
            return true;
        default:
            return WrongValue(at, "an array");
        }
    }

    bool EndArray(rapidjson::SizeType)
    {
        --m_depth;
        return true;
    }

    bool EndObject(rapidjson::SizeType)
    {
        Frame& frame = Top();
        if (!(frame.kind == Frame::Kind::Top ? EndDocument(frame) : EndChunk(frame)))
            return false;
        --m_depth;
        return true;
    }

    bool Fail(std::size_t offset, std::string reason)
    {
        if (m_error.empty()) {
            m_error = std::move(reason);
            m_errorOffset = offset;
            m_errorPath = PathHere();
        }
        return false;
    }

    // The chunk the parse is in: each level's IDKEY:N, or #N (its place in
    // its list) for a chunk whose id is not known yet.
    std::string PathHere() const
    {
        std::string path;
        for (std::size_t i = 0; i < m_depth; ++i) {
            const Frame& frame = m_frames[i];
            if (frame.kind != Frame::Kind::Chunk)
                continue;
            if (!path.empty())
                path += '/';
            path += frame.id ? unpacked::PathSegment(*frame.id, frame.occurrence) : "#" + std::to_string(frame.index);
        }
        return path;
    }

private:
    Frame& Top() { return m_frames[m_depth - 1]; }
    Frame& Parent() { return m_frames[m_depth - 2]; }

    Frame& Push(Frame::Kind kind, std::size_t at)
    {
        if (m_depth == m_frames.size())
            m_frames.emplace_back();
        Frame& frame = m_frames[m_depth++];
        frame.Reset(kind, at);
        return frame;
    }

    static Field Take(Frame& frame)
    {
        const Field field = frame.pending;
        frame.pending = Field::None;
        return field;
    }

    bool Other(std::size_t length, std::string_view what)
    {
        const std::size_t at = m_stream.Tell() - length;
        return m_depth == 0 ? NotAnObject(at) : WrongValue(at, what);
    }

    bool NotAnObject(std::size_t at) { return Fail(at, "an unpacked document is a JSON object"); }

    // A value that has no place where it stands.
    bool WrongValue(std::size_t at, std::string_view what)
    {
        const Frame& frame = Top();
        switch (frame.kind) {
        case Frame::Kind::List:
            return Fail(at, "a chunk must be an object, not " + std::string(what));
        case Frame::Kind::Warnings:
            return Fail(at, "a warning must be a string, not " + std::string(what));
        default:
            return Fail(at, "\"" + std::string(NameOf(frame.pending)) + "\" must be " + Expected(frame.pending) +
                                ", not " + std::string(what));
        }
    }

    bool Number(bool isVersion)
    {
        if (m_depth == 0)
            return NotAnObject(0);
        // Until the handler returns, the stream stands where the number starts.
        const std::size_t at = m_stream.Tell();
        Frame& frame = Top();
        if (frame.kind != Frame::Kind::Top || frame.pending != Field::Version)
            return WrongValue(at, "a number");
        Take(frame);
        if (isVersion)
            return true;
        return Fail(at,
                    "this program reads version " + std::to_string(unpacked::kVersion) + " of the unpacked format only");
    }

    static bool Has(const Frame& frame, Field field)
    {
        return (frame.seen & (std::uint64_t{1} << static_cast<unsigned>(field))) != 0;
    }

    bool Decode(std::string_view text, std::size_t at, std::vector<std::uint8_t>& bytes)
    {
        std::size_t badAt = 0;
        if (CHexText::Decode(text, bytes, &badAt))
            return true;
        if (text.size() % 2 != 0 && badAt == text.size() - 1)
            return Fail(at, "the hex string has an odd number of digits");
        return Fail(at + 1 + badAt, "the hex string holds \"" + Printable(text.substr(badAt, 1)) +
                                        "\", which is no hexadecimal digit");
    }

    bool EndDocument(const Frame& top)
    {
        for (const Field required : {Field::Format, Field::Version, Field::Chunks}) {
            if (!Has(top, required))
                return Fail(top.offset, "the document has no \"" + std::string(NameOf(required)) + "\"");
        }
        if (top.hasTrailing)
            m_out.insert(m_out.end(), top.trailing.begin(), top.trailing.end());
        return true;
    }

    bool EndChunk(Frame& chunk)
    {
        if (!chunk.id)
            return Fail(chunk.offset, "the chunk has no \"id\"");
        if (chunk.hasChildren) {
            if (chunk.dataType != DT_REC)
                return Fail(chunk.offset, "only a chunk of type REC can have \"children\"");
            if (chunk.hasText || chunk.hasHex)
                return Fail(chunk.hasText ? chunk.textAt : chunk.hexAt,
                            "a chunk with \"children\" takes its bytes from them; it has no \"text\" or \"hex\"");
            if (chunk.hasTrailing)
                m_out.insert(m_out.end(), chunk.trailing.begin(), chunk.trailing.end());
        } else {
            if (chunk.hasTrailing)
                return Fail(chunk.trailingAt, "only a chunk with \"children\" has \"trailing\" bytes");
            if (!AppendPayload(chunk))
                return false;
        }
        const std::uint64_t size = m_out.size() - chunk.headerAt;
        if (size > kLargestChunk)
            return Fail(chunk.offset, "the chunk would be " + std::to_string(size) +
                                          " bytes, more than a chunk can hold (4 GiB)");
        le::WriteU32(m_out.data() + chunk.headerAt, *chunk.id);
        le::WriteU32(m_out.data() + chunk.headerAt + 4, static_cast<std::uint32_t>(size));
        if ((chunk.typed || chunk.hasName) && m_described.count(*chunk.id) == 0)
            Describe(chunk);
        return true;
    }

    void Describe(const Frame& chunk)
    {
        CPackReader::Described entry;
        entry.dataType = chunk.dataType;
        // The name is only for people; one that the code page cannot hold
        // is left out rather than refused.
        if (chunk.hasName && !CAnsiText::FromUtf8(chunk.name, entry.name))
            entry.name.clear();
        m_described.emplace(*chunk.id, std::move(entry));
    }

    bool AppendPayload(const Frame& chunk)
    {
        if (!chunk.hasText && chunk.hasHex) {
            m_out.insert(m_out.end(), chunk.hex.begin(), chunk.hex.end());
            return true;
        }
        if (chunk.hasText && !chunk.typed)
            return Fail(chunk.textAt, "a chunk with \"text\" needs a \"type\" to read it by");
        std::optional<std::string_view> text;
        if (chunk.hasText)
            text = chunk.text;
        std::optional<std::span<const std::uint8_t>> bytes;
        if (chunk.hasHex)
            bytes = chunk.hex;
        std::size_t badAt = 0;
        switch (CPayloadTextForm::Pack(chunk.dataType, *chunk.id, text, bytes, m_out, m_scratch, &badAt)) {
        case CPayloadTextForm::Result::Ok:
            return true;
        case CPayloadTextForm::Result::NothingGiven:
            return Fail(chunk.offset, "the chunk has no \"text\", \"hex\" or \"children\"");
        case CPayloadTextForm::Result::BadCharacter:
            return Fail(chunk.textAt, "the text holds a character that Windows-1252 text cannot hold");
        case CPayloadTextForm::Result::Refused:
            break;
        }
        const std::string typeName(kDataTypeNames[static_cast<std::size_t>(chunk.dataType)]);
        if (!CPayloadTextForm::HasText(chunk.dataType))
            return Fail(chunk.textAt, "a chunk of type " + typeName + " has no text form; give its bytes as \"hex\"");
        return Fail(chunk.textAt, "the text cannot be read as " + typeName);
    }

    std::string_view m_text;
    rapidjson::StringStream& m_stream;
    const CPackReader::Progress& m_progress;
    std::vector<std::uint8_t>& m_out;
    std::map<std::uint32_t, CPackReader::Described>& m_described;
    std::vector<Frame> m_frames;
    std::size_t m_depth = 0;
    std::uint64_t m_chunks = 0;
    CPayloadTextForm::Scratch m_scratch;
    std::string m_error;
    std::size_t m_errorOffset = 0;
    std::string m_errorPath;
};

// Line and column, from 1, of a byte offset; columns count characters.
std::string Place(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    const std::size_t lineStart = offset == 0 ? 0 : text.rfind('\n', offset - 1) + 1;
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(lineStart), '\n');
    const auto column = 1 + std::count_if(text.begin() + static_cast<std::ptrdiff_t>(lineStart),
                                          text.begin() + static_cast<std::ptrdiff_t>(offset),
                                          [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    return std::to_string(line) + ":" + std::to_string(column);
}

} // namespace

bool CPackReader::ReadFile(const std::string& path, const Progress& progress)
{
    m_bytes.clear();
    m_described.clear();
    m_strError.clear();
    platform::CMappedText file;
    if (!file.Open(path)) {
        m_strError = file.GetError();
        return false;
    }
    const std::string_view text = file.Text();
    m_bytes.reserve(text.size() / 3);
    rapidjson::StringStream stream(file.Data());
    Handler handler(text, stream, progress, m_bytes, m_described);
    rapidjson::Reader reader;
    const rapidjson::ParseResult result = reader.Parse(stream, handler);
    std::string reason;
    std::size_t offset = 0;
    std::string where;
    if (file.Faulted()) {
        m_strError = path + ": the file was cut short by another program while it was being read";
        m_bytes.clear();
        return false;
    }
    if (!handler.Error().empty()) {
        reason = handler.Error();
        offset = handler.ErrorOffset();
        where = handler.ErrorPath();
    } else if (result.IsError()) {
        reason = std::string("malformed JSON: ") + rapidjson::GetParseError_En(result.Code());
        offset = result.Offset();
        where = handler.PathHere();
    } else if (stream.Tell() < text.size()) {
        reason = "malformed JSON: a NUL byte where the document should end";
        offset = stream.Tell();
    }
    if (!reason.empty()) {
        m_bytes.clear();
        m_bytes.shrink_to_fit();
        m_strError = path + ":" + Place(text, offset) + ": " + reason;
        if (!where.empty())
            m_strError += " (chunk " + where + ")";
        return false;
    }
    if (m_bytes.empty()) {
        m_strError = path + ": the document holds no bytes, and an empty MOB file cannot be loaded";
        return false;
    }
    if (m_bytes.size() > kLargestFile) {
        m_strError = path + ": the file would be " + std::to_string(m_bytes.size()) +
                     " bytes, more than a MOB file can hold (" + std::to_string(kLargestFile) + ")";
        m_bytes.clear();
        return false;
    }
    return true;
}

bool PackFile(const std::string& jsonPath, const std::string& mobPath, const CPackReader::Progress& progress,
              std::string& error)
{
    CPackReader reader;
    if (!reader.ReadFile(jsonPath, progress)) {
        error = reader.GetError();
        return false;
    }
    const std::vector<std::uint8_t>& bytes = reader.Bytes();
    platform::CFileReplacer file;
    if (!file.Begin(mobPath) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        error = file.GetError();
        return false;
    }
    return true;
}

bool PackIntoDocument(CMobDocument& doc, const std::string& jsonPath, const CPackReader::Progress& progress,
                      std::string& error)
{
    CPackReader reader;
    if (!reader.ReadFile(jsonPath, progress)) {
        error = reader.GetError();
        return false;
    }
    const std::vector<std::uint8_t> bytes = reader.TakeBytes();
    if (!doc.LoadMobBytes(jsonPath, bytes)) {
        error = doc.GetIoError();
        return false;
    }
    return true;
}

} // namespace qm
