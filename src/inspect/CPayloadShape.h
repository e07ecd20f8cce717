#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace qm {

// Questions about the shape of a payload's bytes that the type list and the
// type guesser both ask: does it hold a chunk list, a counted list, text?
// Nothing here reads outside the span it is given.
class CPayloadShape {
public:
    using Bytes = std::span<const std::uint8_t>;
    // Called for each chunk of a list with its id and payload.
    using ChunkVisitor = std::function<void(std::uint32_t id, Bytes payload)>;

    // Reads a chunk list one chunk at a time, as loading reads it: each
    // chunk whose header and payload lie inside the bytes, up to the first
    // that does not.
    class ChunkReader {
    public:
        explicit ChunkReader(Bytes bytes) : m_bytes(bytes) {}
        // The next chunk, or false at the end of the list.
        bool Next(std::uint32_t& id, Bytes& payload);
        // True when the chunks read so far fill the bytes exactly.
        bool Filled() const { return m_pos == m_bytes.size(); }

    private:
        Bytes m_bytes;
        std::size_t m_pos = 0;
    };

    // True when the bytes are a chunk list that fills them exactly: every
    // size field at least 8, the last chunk ending at the last byte. An
    // empty span is an empty list. childIds, when given, receives the ids
    // of the chunks (on false, those read before the fault).
    static bool IsChunkList(Bytes bytes, std::vector<std::uint32_t>* childIds = nullptr);

    // The record count of a STR_SAR payload whose records fill it exactly
    // (the count is never negative); none otherwise. visit, when given,
    // sees each record's id and its text bytes.
    static std::optional<std::uint32_t> StrSarRecords(Bytes bytes, const ChunkVisitor& visit = {});

    // The entry count of a counted float list (STR_S01: 3 values an entry,
    // STR_S02: 2) whose size is exactly the count's; none otherwise.
    static std::optional<std::uint32_t> FloatListCount(Bytes bytes, std::uint32_t valuesPerEntry);

    // How text-like the bytes are, for text that ends at the payload's end
    // or at one zero byte in its last place.
    struct Text {
        bool isText = false;       // printable characters, TAB, CR and LF only
        std::uint32_t chars = 0;   // characters before the final zero byte
        std::uint32_t highChars = 0;  // characters from 0x80 up (letters of a code page)
        bool hasLf = false;
        bool hasCr = false;
    };
    static Text CheckText(Bytes bytes);
};

} // namespace qm
