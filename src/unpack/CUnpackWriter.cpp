#include "unpack/CUnpackWriter.h"

#include "codec/CAnsiText.h"
#include "codec/CPayloadTextForm.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "mob/Utf8.h"
#include "platform/CFileReplacer.h"
#include "unpack/CHexText.h"
#include "unpack/UnpackedFormat.h"

// Without RAPIDJSON_SSE2 (see unpack/RapidJson.h).
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <unordered_map>
#include <vector>

namespace qm {

namespace {

using JsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

constexpr std::size_t kPieceSize = 1u << 20;
constexpr std::uint64_t kProgressInterval = 1u << 14;

// A file name is bytes; those that are not UTF-8 are read as the code page.
std::string NameAsUtf8(std::string_view name)
{
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = Utf8CharLength(name, pos);
        if (length == 1 && static_cast<unsigned char>(name[pos]) >= 0x80)
            return CAnsiText::ToUtf8(name);
        pos += length;
    }
    return std::string(name);
}

std::string_view TypeName(std::int32_t dataType)
{
    if (dataType < 0 || dataType >= kDataTypeCount)
        return kDataTypeNames[DT_NULL];
    return kDataTypeNames[static_cast<std::size_t>(dataType)];
}

// The paths of the given nodes below a file node, from one walk.
std::unordered_map<NodeId, std::string> PathsOf(const CMobDocument& doc, NodeId fileNode,
                                                const std::unordered_map<NodeId, std::string>& wanted)
{
    std::unordered_map<NodeId, std::string> paths;
    if (wanted.empty())
        return paths;
    const CChunkTree& tree = doc.Tree();
    struct Level {
        std::string path;
        std::unordered_map<std::uint32_t, std::uint32_t> seen;
    };
    std::vector<Level> levels(1);
    std::vector<NodeId> parents{fileNode};
    for (NodeId node = tree.GetChildItem(fileNode); node != kNoNode; node = tree.NextInPreOrder(node, fileNode)) {
        while (parents.back() != tree.GetParentItem(node)) {
            parents.pop_back();
            levels.pop_back();
        }
        const CMobChunk* rec = doc.Chunks().Lookup(tree.GetItemData(node));
        const std::uint32_t id = rec ? rec->m_nId : 0;
        std::string path = levels.back().path;
        unpacked::AppendPathSegment(path, id, levels.back().seen[id]++);
        if (wanted.count(node) != 0)
            paths.emplace(node, path);
        if (tree.ItemHasChildren(node)) {
            parents.push_back(node);
            levels.push_back({std::move(path), {}});
        }
    }
    return paths;
}

class Job {
public:
    Job(const CMobDocument& doc, NodeId fileNode, const CUnpackWriter::Sink& sink,
        const CUnpackWriter::Progress& progress, std::string& error)
        : m_doc(doc), m_tree(doc.Tree()), m_fileNode(fileNode), m_sink(sink), m_progress(progress), m_error(error),
          m_writer(m_buffer)
    {
        m_writer.SetIndent(' ', 2);
    }

    bool Run(std::string_view source)
    {
        m_writer.StartObject();
        Key("format");
        m_writer.String(unpacked::kFormat.data(), static_cast<rapidjson::SizeType>(unpacked::kFormat.size()));
        Key("version");
        m_writer.Int(unpacked::kVersion);
        Key("source");
        const std::string name = NameAsUtf8(source);
        m_writer.String(name.data(), static_cast<rapidjson::SizeType>(name.size()));
        WriteWarnings();
        Key("chunks");
        m_writer.StartArray();
        if (!WriteChunks())
            return false;
        m_writer.EndArray();
        WriteTrailing(m_fileNode);
        m_writer.EndObject();
        m_buffer.Put('\n');
        return Flush();
    }

private:
    void Key(std::string_view key) { m_writer.Key(key.data(), static_cast<rapidjson::SizeType>(key.size())); }

    // Room for a string value that needs no escaping (hex digits, ids, type
    // names), filled in place: the writer puts the separator and the indent,
    // the caller the characters between the quotes.
    char* PlainStringRoom(std::size_t length)
    {
        m_writer.RawValue("", 0, rapidjson::kStringType);
        char* at = m_buffer.Push(length + 2);
        at[0] = '"';
        at[length + 1] = '"';
        return at + 1;
    }

    void PlainString(std::string_view text)
    {
        text.copy(PlainStringRoom(text.size()), text.size());
    }

    void HexString(std::span<const std::uint8_t> bytes) { CHexText::Encode(bytes, PlainStringRoom(2 * bytes.size())); }

    void WriteWarnings()
    {
        std::unordered_map<NodeId, std::string> wanted;
        std::vector<std::pair<NodeId, std::string>> warnings;
        for (const NodeId node : m_doc.NodesWithTrailingBytes()) {
            if (node != m_fileNode && !Below(node))
                continue;
            const std::size_t count = m_doc.GetTrailingBytes(node).size();
            warnings.emplace_back(node, std::to_string(count) + (count == 1 ? " byte" : " bytes") +
                                            " after the last chunk of this list belong to no chunk; they are "
                                            "kept under \"trailing\".");
            wanted.emplace(node, std::string());
        }
        for (const CMobDocument::CutChunk& cut : m_doc.ChunksCutShort()) {
            if (!Below(cut.node))
                continue;
            const CMobChunk* rec = Record(cut.node);
            const std::uint64_t kept = 8 + std::uint64_t{rec ? rec->m_nSize : 0};
            warnings.emplace_back(cut.node, "its size field says " + std::to_string(cut.sizeField) +
                                                " bytes, but only " + std::to_string(kept) +
                                                " were left in its list; it is cut to those, and packs with size " +
                                                std::to_string(kept) + ".");
            wanted.emplace(cut.node, std::string());
        }
        if (warnings.empty())
            return;
        const auto paths = PathsOf(m_doc, m_fileNode, wanted);
        Key("warnings");
        m_writer.StartArray();
        for (const auto& [node, text] : warnings) {
            const auto path = paths.find(node);
            const std::string where = path == paths.end() ? std::string("the file") : "chunk " + path->second;
            const std::string line = where + ": " + text;
            m_writer.String(line.data(), static_cast<rapidjson::SizeType>(line.size()));
        }
        m_writer.EndArray();
    }

    bool Below(NodeId node) const
    {
        if (!m_tree.IsValid(node))
            return false;
        for (NodeId parent = m_tree.GetParentItem(node); parent != kNoNode; parent = m_tree.GetParentItem(parent)) {
            if (parent == m_fileNode)
                return true;
        }
        return false;
    }

    const CMobChunk* Record(NodeId node) const { return m_doc.Chunks().Lookup(m_tree.GetItemData(node)); }

    std::uint64_t CountChunks() const
    {
        std::uint64_t count = 0;
        for (NodeId node = m_tree.GetChildItem(m_fileNode); node != kNoNode;
             node = m_tree.NextInPreOrder(node, m_fileNode))
            ++count;
        return count;
    }

    bool WriteChunks()
    {
        const std::uint64_t total = m_progress ? CountChunks() : 0;
        std::uint64_t done = 0;
        NodeId node = m_tree.GetChildItem(m_fileNode);
        while (node != kNoNode) {
            const CMobChunk* rec = Record(node);
            if (!rec) {
                m_error = "The chunk with node key " + std::to_string(m_tree.GetItemData(node)) + " has no record.";
                return false;
            }
            WriteHead(node, *rec);
            if (++done % kProgressInterval == 0 && !Progress(done, total))
                return false;
            if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode) {
                Key("children");
                m_writer.StartArray();
                node = child;
                continue;
            }
            WritePayload(*rec);
            m_writer.EndObject();
            if (m_buffer.GetSize() >= kPieceSize && !Flush())
                return false;
            node = NextAfterSubtree(node);
        }
        return !m_progress || m_progress(done, total) || Cancelled();
    }

    // Closes every list that node ends and gives the next chunk to write.
    NodeId NextAfterSubtree(NodeId node)
    {
        for (;;) {
            if (const NodeId next = m_tree.GetNextSiblingItem(node); next != kNoNode)
                return next;
            const NodeId parent = m_tree.GetParentItem(node);
            if (parent == m_fileNode || parent == kNoNode)
                return kNoNode;
            m_writer.EndArray();
            WriteTrailing(parent);
            m_writer.EndObject();
            node = parent;
        }
    }

    void WriteHead(NodeId node, const CMobChunk& rec)
    {
        m_writer.StartObject();
        Key("id");
        PlainString(IdKey(rec.m_nId));
        if (const std::string_view label = m_tree.GetItemText(node); !label.empty()) {
            Key("name");
            m_scratchText.clear();
            CAnsiText::AppendUtf8(m_scratchText, label);
            m_writer.String(m_scratchText.data(), static_cast<rapidjson::SizeType>(m_scratchText.size()));
        }
        Key("type");
        PlainString(TypeName(rec.m_nDataType));
    }

    void WritePayload(const CMobChunk& rec)
    {
        const std::span<const std::uint8_t> payload(rec.m_pData.get(), rec.m_pData ? rec.m_nSize : 0);
        CPayloadTextForm::Unpack(rec.m_nDataType, rec.m_nId, payload, m_unpacked, m_scratch);
        if (m_unpacked.hasText) {
            Key("text");
            m_writer.String(m_unpacked.text.data(), static_cast<rapidjson::SizeType>(m_unpacked.text.size()));
        }
        if (m_unpacked.needsBytes) {
            Key("hex");
            HexString(payload);
        }
    }

    void WriteTrailing(NodeId listNode)
    {
        const auto bytes = m_doc.GetTrailingBytes(listNode);
        if (bytes.empty())
            return;
        Key("trailing");
        HexString(bytes);
    }

    bool Progress(std::uint64_t done, std::uint64_t total) { return !m_progress || m_progress(done, total) || Cancelled(); }

    bool Cancelled()
    {
        m_error = CUnpackWriter::kCancelled;
        return false;
    }

    bool Flush()
    {
        if (m_buffer.GetSize() == 0)
            return true;
        const bool written = m_sink(std::string_view(m_buffer.GetString(), m_buffer.GetSize()), m_error);
        m_buffer.Clear();
        return written;
    }

    const CMobDocument& m_doc;
    const CChunkTree& m_tree;
    const NodeId m_fileNode;
    const CUnpackWriter::Sink& m_sink;
    const CUnpackWriter::Progress& m_progress;
    std::string& m_error;
    rapidjson::StringBuffer m_buffer;
    JsonWriter m_writer;
    CPayloadTextForm::Unpacked m_unpacked;
    CPayloadTextForm::Scratch m_scratch;
    std::string m_scratchText;
};

} // namespace

bool CUnpackWriter::Write(NodeId fileNode, std::string_view source, const Sink& sink, const Progress& progress)
{
    m_strError.clear();
    const CChunkTree& tree = m_doc.Tree();
    if (!tree.IsValid(fileNode) || tree.GetParentItem(fileNode) != kNoNode) {
        m_strError = "There is no such file to unpack.";
        return false;
    }
    Job job(m_doc, fileNode, sink, progress, m_strError);
    return job.Run(source);
}

bool CUnpackWriter::WriteFile(NodeId fileNode, std::string_view source, const std::string& path,
                              const Progress& progress)
{
    platform::CFileReplacer file;
    if (!file.Begin(path)) {
        m_strError = file.GetError();
        return false;
    }
    const Sink sink = [&file](std::string_view piece, std::string& error) {
        if (file.Write(piece.data(), piece.size()))
            return true;
        error = file.GetError();
        return false;
    };
    if (!Write(fileNode, source, sink, progress))
        return false;
    if (!file.Commit()) {
        m_strError = file.GetError();
        return false;
    }
    return true;
}

} // namespace qm
