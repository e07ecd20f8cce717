#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qm {

class CMobDocument;

// Reads an unpacked document back into the MOB bytes it stands for: every
// container's size recomputed from what it holds, each leaf's payload from
// its text and hex (CPayloadTextForm), bytes that belong to no chunk where
// the document keeps them. The bytes are those Save would write for the
// file the document was unpacked from, edits included.
//
// The types come from the document itself; no description table is needed.
// Anything the format does not allow is refused with its place: the line
// and column in the document, and the path of the chunk it belongs to.
class CPackReader {
public:
    // Called now and then with the document's bytes read so far and their
    // total; false gives the pack up.
    using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

    // What the document says of a chunk type id: the first name and type
    // it gives the id.
    struct Described {
        std::string name;  // 8-bit, as a description holds it
        std::int32_t dataType = 0;
    };

    bool ReadFile(const std::string& path, const Progress& progress = {});

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
    std::vector<std::uint8_t> TakeBytes() { return std::move(m_bytes); }
    const std::map<std::uint32_t, Described>& Descriptions() const { return m_described; }
    // "PATH:LINE:COLUMN: what is wrong (chunk P)", or the reason the file
    // could not be read.
    const std::string& GetError() const { return m_strError; }

    static constexpr std::string_view kCancelled = "The pack was cancelled.";

private:
    std::vector<std::uint8_t> m_bytes;
    std::map<std::uint32_t, Described> m_described;
    std::string m_strError;
};

// mobtool pack: the document at jsonPath packed into a MOB file at mobPath,
// written through platform::CFileReplacer only when the whole document was
// read without fault; otherwise mobPath is left as it was.
bool PackFile(const std::string& jsonPath, const std::string& mobPath, const CPackReader::Progress& progress,
              std::string& error);

// The window's Open of an unpacked document: packed in memory and added to
// doc as a loaded file whose file node shows jsonPath. Its chunks are named
// and typed from doc's description table, like any file loaded.
bool PackIntoDocument(CMobDocument& doc, const std::string& jsonPath, const CPackReader::Progress& progress,
                      std::string& error);

} // namespace qm
