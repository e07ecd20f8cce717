#include "cli/CDbCommands.h"

#include "cli/CMobTool.h"
#include "db/CDbPacker.h"
#include "db/CDbUnpacker.h"
#include "mob/CMobDocument.h"

#include <charconv>
#include <ostream>

namespace qm {

bool CDbCommands::TakeOption(const std::vector<std::string>& args, std::size_t& i, std::string& problem)
{
    const std::string& arg = args[i];
    for (const auto& [name, kind] : {std::pair{std::string("--sqlite"), db::DbTarget::Kind::Sqlite},
                                     std::pair{std::string("--postgres"), db::DbTarget::Kind::Postgres}}) {
        std::string value;
        if (arg == name) {
            if (i + 1 == args.size()) {
                problem = name + " needs a value";
                return true;
            }
            value = args[++i];
        } else if (arg.compare(0, name.size() + 1, name + "=") == 0) {
            value = arg.substr(name.size() + 1);
        } else {
            continue;
        }
        if (m_target)
            problem = "give only one database";
        m_target = db::DbTarget{kind, value};
        return true;
    }
    return false;
}

std::optional<int> CDbCommands::Run(const std::string& command, const std::vector<std::string>& operands,
                                    CMobDocument& doc, const Loader& load, std::string& problem)
{
    if (command == "unpack" && !operands.empty())
        return Unpack(operands, doc, load);
    if (command == "pack" && operands.size() == 2) {
        std::int64_t fileId = 0;
        const std::string& text = operands[0];
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), fileId);
        if (ec != std::errc() || end != text.data() + text.size()) {
            problem = "FILEID must be a number: " + text;
            return std::nullopt;
        }
        return Pack(fileId, operands[1]);
    }
    problem = command == "unpack" || command == "pack" ? "wrong number of arguments for " + command
                                                       : "--sqlite and --postgres go with unpack and pack only";
    return std::nullopt;
}

int CDbCommands::Unpack(const std::vector<std::string>& paths, CMobDocument& doc, const Loader& load)
{
    std::string error;
    const std::unique_ptr<db::IChunkStore> store = OpenChunkStore(*m_target, true, error);
    if (!store) {
        m_err << "mobtool: " << error << "\n";
        return CMobTool::kExitFailed;
    }
    db::CDbUnpacker unpacker(*store);
    if (!unpacker.Begin(doc)) {
        m_err << "mobtool: " << unpacker.Error() << "\n";
        return CMobTool::kExitFailed;
    }
    std::vector<std::int64_t> fileIds;
    for (const std::string& path : paths) {
        // One file at a time: memory holds the largest file, not all of them.
        doc.UnloadAll();
        if (!load(path))
            return CMobTool::kExitFailed;
        const std::optional<std::int64_t> fileId = unpacker.AddFile(doc, doc.Tree().GetRootItem(), path);
        if (!fileId) {
            m_err << "mobtool: " << path << ": " << unpacker.Error() << "\n";
            return CMobTool::kExitFailed;
        }
        fileIds.push_back(*fileId);
        // The database keeps the bytes that were there; packing writes the
        // smaller size, as saving does, so the change is told now.
        for (const CMobDocument::CutChunk& cut : doc.ChunksCutShort()) {
            const CMobChunk* rec = doc.Chunks().Lookup(doc.Tree().GetItemData(cut.node));
            m_err << "mobtool: " << path << ": the chunk with node key " << doc.Tree().GetItemData(cut.node)
                  << " has the size field " << cut.sizeField << ", but only " << 8 + std::uint64_t{rec ? rec->m_nSize : 0}
                  << " bytes were left in its list; it packs with that size\n";
        }
    }
    if (!unpacker.Commit()) {
        m_err << "mobtool: " << unpacker.Error() << "\n";
        return CMobTool::kExitFailed;
    }
    for (std::size_t i = 0; i < paths.size(); ++i)
        m_out << "Unpacked file: " << paths[i] << " as file_id " << fileIds[i] << "\n";
    return CMobTool::kExitOk;
}

int CDbCommands::Pack(std::int64_t fileId, const std::string& out)
{
    std::string error;
    const std::unique_ptr<db::IChunkStore> store = OpenChunkStore(*m_target, false, error);
    if (!store) {
        m_err << "mobtool: " << error << "\n";
        return CMobTool::kExitFailed;
    }
    db::CDbPacker packer;
    if (!packer.Pack(*store, fileId, out)) {
        m_err << "mobtool: " << packer.Error() << "\n";
        return CMobTool::kExitFailed;
    }
    m_out << "Saved file: " << out << "\n";
    return CMobTool::kExitOk;
}

} // namespace qm
