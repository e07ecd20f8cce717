#pragma once

#include "mob/CChunkTree.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace qm {

class CMobDocument;

// Writes a loaded file as an unpacked document: one JSON object laid out
// the same way every time (2-space indent, fields in a fixed order), every
// chunk with its id, name and type, a container with its children, a leaf
// with its text and, where the text alone would not give them back, its
// bytes (CPayloadTextForm). Bytes that belong to no chunk, and chunks cut
// short, are kept and listed under "warnings".
class CUnpackWriter {
public:
    // Takes the text in pieces of about a megabyte; false when it cannot be
    // written, with the reason in error.
    using Sink = std::function<bool(std::string_view piece, std::string& error)>;
    // Called now and then with the chunks done and their total; false gives
    // the unpack up.
    using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

    explicit CUnpackWriter(const CMobDocument& doc) : m_doc(doc) {}

    // fileNode is a top-level node; source is written as the document's
    // "source" (the file name as given).
    bool Write(NodeId fileNode, std::string_view source, const Sink& sink, const Progress& progress = {});
    // The same into a file, through platform::CFileReplacer: the file is
    // replaced only once the whole document is on disk.
    bool WriteFile(NodeId fileNode, std::string_view source, const std::string& path,
                   const Progress& progress = {});

    const std::string& GetError() const { return m_strError; }

    static constexpr std::string_view kCancelled = "The unpack was cancelled.";

private:
    const CMobDocument& m_doc;
    std::string m_strError;
};

} // namespace qm
