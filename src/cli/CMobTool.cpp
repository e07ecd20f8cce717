#include "cli/CMobTool.h"

#include "codec/CryptScriptData.h"
#include "codec/FormatChunkData.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/CChunkMove.h"
#include "edit/DocumentNodes.h"
#include "inspect/CHexLayout.h"
#include "inspect/CPayloadBytes.h"
#include "inspect/CTypeGuesser.h"
#include "platform/FileSystem.h"
#include "unpack/CMobDiff.h"
#include "unpack/CPackReader.h"
#include "unpack/CUnpackWriter.h"

#include "Version.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <ostream>

namespace qm {

namespace {

constexpr const char* kUsage =
    "Usage: mobtool [--desc PATH] [--trace-cipher] COMMAND ARGS...\n"
    "\n"
    "Commands:\n"
    "  tree FILE...                  one line per node: KEY DEPTH IDKEY TYPE SIZE OFFSET LABEL\n"
    "  stat FILE...                  node count, payload bytes and deepest nesting\n"
    "  save FILE OUT                 load FILE and save it to OUT\n"
    "  show FILE KEY                 the text of the chunk with node key KEY\n"
    "  apply FILE KEY TEXTFILE OUT   read TEXTFILE into chunk KEY and save to OUT\n"
    "  hexdump FILE KEY              the bytes of chunk KEY's payload, 16 a line\n"
    "  guess FILE...                 a description line with a guessed type for every undescribed id\n"
    "  unpack FILE OUT.json          FILE as a JSON document (OUT - for standard output)\n"
    "  pack IN.json OUT              the MOB file a JSON document stands for (no descriptions needed)\n"
    "  unpack --sqlite DB FILE...    add each file to the SQLite database DB (created when missing)\n"
    "  unpack --postgres CONNINFO FILE...\n"
    "                                add each file to the PostgreSQL database CONNINFO names\n"
    "  pack --sqlite DB FILEID OUT   rebuild the file with file_id FILEID from the database into OUT\n"
    "  pack --postgres CONNINFO FILEID OUT\n"
    "                                the same from the PostgreSQL database CONNINFO names\n"
    "  diff A B                      the chunks that differ between two MOB files or JSON documents;\n"
    "                                exit status 0 for none, 1 for some, 2 on an error\n"
    "  delete FILE KEY OUT           remove chunk KEY with its subtree and save to OUT\n"
    "  insert FILE PARENTKEY INDEX IDHEX OUT [PAYLOADFILE]\n"
    "                                put a new chunk with id IDHEX (8 hex digits) and the bytes of\n"
    "                                PAYLOADFILE (none when not given) at INDEX below PARENTKEY; save to OUT\n"
    "  move FILE KEY INDEX OUT       make chunk KEY child number INDEX of its parent; save to OUT\n"
    "  copy FILE KEY DESTFILE PARENTKEY INDEX OUT\n"
    "                                copy chunk KEY of FILE to INDEX below PARENTKEY of DESTFILE (keys\n"
    "                                as `tree FILE DESTFILE` prints them); save DESTFILE to OUT\n"
    "  extract FILE KEY OUT          write chunk KEY as it would be saved, header included, to OUT\n"
    "\n"
    "KEY, PARENTKEY and INDEX are decimal; INDEX counts from 0, and the number of children appends.\n"
    "\n"
    "Options:\n"
    "  --desc PATH       the description file (default: mob_desc.txt in the working folder)\n"
    "  --trace-cipher    write the script cipher's trace to standard error\n"
    "  --help            this text\n"
    "  --version         the program's version\n"
    "\n"
    "Exit status: 0 success, 1 an operation failed, 2 usage error.\n";

class StreamTraceSink : public ICipherTraceSink {
public:
    explicit StreamTraceSink(std::ostream& out) : m_out(out) {}
    void TraceLine(std::string_view line) override { m_out.write(line.data(), static_cast<std::streamsize>(line.size())); }

private:
    std::ostream& m_out;
};

// Switches the cipher trace on for as long as a command runs.
class TraceScope {
public:
    TraceScope(bool enabled, std::ostream& out) : m_sink(out)
    {
        if (enabled)
            SetCipherTraceSink(&m_sink);
    }
    ~TraceScope() { SetCipherTraceSink(nullptr); }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;

private:
    StreamTraceSink m_sink;
};

// A label may come from a file name, which can hold any byte: control bytes
// are written as \xHH so that every node stays on one line of its own.
void AppendLabel(std::string& line, std::string_view label)
{
    for (const char c : label) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            line += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        line += escaped;
    }
}

// A text file for apply becomes one payload, which holds at most 4 GiB.
constexpr std::uint64_t kLargestTextFile = 1ull << 32;

// A decimal index, or none.
std::optional<std::size_t> IndexOf(const std::string& text)
{
    std::size_t index = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, index);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return index;
}

// Eight hexadecimal digits, in either case, or none.
std::optional<std::uint32_t> IdOfHex(const std::string& text)
{
    std::string key = text;
    for (char& c : key)
        c = (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
    return IdOfKey(key);
}
constexpr auto kSayWaitingAfter = std::chrono::seconds(1);

} // namespace

int CMobTool::Usage(const std::string& problem)
{
    m_err << "mobtool: " << problem << "\n" << kUsage;
    return kExitUsage;
}

int CMobTool::Run(const std::vector<std::string>& args)
{
    std::vector<std::string> words;
    bool optionsDone = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsDone || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsDone = true;
        } else if (arg == "--help") {
            m_out << kUsage;
            return kExitOk;
        } else if (arg == "--version") {
            m_out << "mobtool " << kVersionText << "\n";
            return kExitOk;
        } else if (std::string problem; m_db.TakeOption(args, i, problem)) {
            if (!problem.empty())
                return Usage(problem);
        } else if (arg == "--trace-cipher") {
            m_bTraceCipher = true;
        } else if (arg == "--desc") {
            if (i + 1 == args.size())
                return Usage("--desc needs a path");
            m_strDescPath = args[++i];
        } else if (arg.compare(0, 7, "--desc=") == 0) {
            m_strDescPath = arg.substr(7);
        } else {
            return Usage("unknown option " + arg);
        }
    }
    if (words.empty())
        return Usage("no command given");

    const std::string command = words.front();
    const std::vector<std::string> operands(words.begin() + 1, words.end());
    if (m_db.HasTarget())
        return RunDbCommand(command, operands);
    struct Command {
        const char* name;
        int (CMobTool::*run)(const std::vector<std::string>&);
        std::size_t minOperands;
        std::size_t maxOperands;
        // pack takes every type from its document; diff reads the
        // descriptions only for a MOB file.
        bool readsDescriptions = true;
    };
    static const Command kCommands[] = {
        {"tree", &CMobTool::CmdTree, 1, SIZE_MAX}, {"stat", &CMobTool::CmdStat, 1, SIZE_MAX},
        {"save", &CMobTool::CmdSave, 2, 2},        {"show", &CMobTool::CmdShow, 2, 2},
        {"apply", &CMobTool::CmdApply, 4, 4},      {"hexdump", &CMobTool::CmdHexdump, 2, 2},
        {"guess", &CMobTool::CmdGuess, 1, SIZE_MAX},  {"unpack", &CMobTool::CmdUnpack, 2, 2},
        {"pack", &CMobTool::CmdPack, 2, 2, false}, {"diff", &CMobTool::CmdDiff, 2, 2, false},
        {"delete", &CMobTool::CmdDelete, 3, 3},    {"insert", &CMobTool::CmdInsert, 5, 6},
        {"move", &CMobTool::CmdMove, 4, 4},        {"copy", &CMobTool::CmdCopy, 6, 6},
        {"extract", &CMobTool::CmdExtract, 3, 3},
    };
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [&](const Command& c) { return command == c.name; });
    if (found == std::end(kCommands))
        return Usage("unknown command " + command);
    if (operands.size() < found->minOperands || operands.size() > found->maxOperands)
        return Usage("wrong number of arguments for " + command);
    if (const std::string problem = OperandProblem(command, operands); !problem.empty())
        return Usage(problem);
    if (found->readsDescriptions && !ReadDescriptions())
        return kExitFailed;
    TraceScope trace(m_bTraceCipher, m_err);
    return (this->*(found->run))(operands);
}

int CMobTool::RunDbCommand(const std::string& command, const std::vector<std::string>& operands)
{
    // Packing takes every chunk's type from its row, so only unpacking
    // needs the description file.
    if (command == "unpack" && !operands.empty() && !ReadDescriptions())
        return kExitFailed;
    std::string problem;
    const auto load = [this](const std::string& path) { return LoadFiles({path}); };
    if (const std::optional<int> status = m_db.Run(command, operands, m_doc, load, problem))
        return *status;
    return Usage(problem);
}

bool CMobTool::ReadDescriptions()
{
    if (m_bDescriptionsRead)
        return true;
    m_doc.SetDescFile(m_strDescPath);
    if (m_doc.ReadDescFile()) {
        m_bDescriptionsRead = true;
        return true;
    }
    m_err << m_doc.GetError() << "\n";
    return false;
}

bool CMobTool::LoadFiles(const std::vector<std::string>& paths)
{
    // A load may wait for ever for another process; a script's user should
    // know why nothing happens.
    m_doc.SetLockWaitCallback([this, said = false](std::chrono::milliseconds waited) mutable {
        if (!said && waited >= kSayWaitingAfter) {
            m_err << "waiting for another Quillmere process to finish loading\u2026" << std::endl;
            said = true;
        }
        return true;
    });
    bool allLoaded = true;
    for (const std::string& path : paths) {
        if (!m_doc.LoadMobFile(path)) {
            m_err << "Load error! " << m_doc.GetIoError() << "\n";
            allLoaded = false;
        }
    }
    return allLoaded;
}

NodeId CMobTool::FindNode(const std::string& keyText)
{
    std::int32_t key = 0;
    const char* end = keyText.data() + keyText.size();
    const auto [ptr, ec] = std::from_chars(keyText.data(), end, key);
    const NodeId node = (ec == std::errc() && ptr == end) ? NodeOfKey(m_doc, key) : kNoNode;
    if (node == kNoNode || !RecordOf(m_doc, node)) {
        m_err << "mobtool: no chunk with node key " << keyText << "\n";
        return kNoNode;
    }
    return node;
}

std::string CMobTool::OperandProblem(const std::string& command, const std::vector<std::string>& operands)
{
    const std::size_t indexAt = command == "insert" ? 2 : command == "move" ? 2 : command == "copy" ? 4 : 0;
    if (indexAt != 0 && !IndexOf(operands[indexAt]))
        return "INDEX must be a decimal number, not " + operands[indexAt];
    if (command == "insert" && !IdOfHex(operands[3]))
        return "IDHEX must be 8 hexadecimal digits, not " + operands[3];
    return {};
}

int CMobTool::SaveTo(const std::string& path)
{
    return SaveFileTo(m_doc.Tree().GetRootItem(), path);
}

int CMobTool::SaveFileTo(NodeId fileNode, const std::string& path)
{
    if (!m_session.SaveFile(fileNode, path)) {
        m_err << "Save error! " << m_doc.GetIoError() << "\n";
        return kExitFailed;
    }
    m_out << "Saved file: " << path << "\n";
    if (!m_doc.GetIoNotice().empty())
        m_err << "mobtool: " << m_doc.GetIoNotice() << "\n";
    return kExitOk;
}

int CMobTool::CmdTree(const std::vector<std::string>& operands)
{
    const bool allLoaded = LoadFiles(operands);
    const CChunkTree& tree = m_doc.Tree();
    // A parent comes before its children, so its depth is known first.
    std::vector<std::uint32_t> depth(tree.GetCount() + 1, 0);
    std::string line;
    for (NodeId node = tree.GetRootItem(); node != kNoNode; node = tree.NextInPreOrder(node, kNoNode)) {
        const NodeId parent = tree.GetParentItem(node);
        depth[node] = parent == kNoNode ? 0 : depth[parent] + 1;
        const std::int32_t key = tree.GetItemData(node);
        const CMobChunk* rec = m_doc.Chunks().Lookup(key);
        if (!rec)
            continue;
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%08X", m_doc.GetChunkOffset(node));
        line.clear();
        line += std::to_string(key) + '\t' + std::to_string(depth[node]) + '\t' + IdKey(rec->m_nId) + '\t' +
                std::to_string(rec->m_nDataType) + '\t' + std::to_string(rec->m_nSize) + '\t' + offset + '\t';
        AppendLabel(line, tree.GetItemText(node));
        line += '\n';
        m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    return allLoaded ? kExitOk : kExitFailed;
}

int CMobTool::CmdStat(const std::vector<std::string>& operands)
{
    const bool allLoaded = LoadFiles(operands);
    const CChunkTree& tree = m_doc.Tree();
    std::uint64_t payloadBytes = 0;
    std::uint32_t maxDepth = 0;
    // A walk that keeps its depth as it goes, so no table of a million
    // depths is needed.
    std::size_t nodes = 0;
    std::uint32_t depth = 0;
    for (NodeId node = tree.GetRootItem(); node != kNoNode;) {
        ++nodes;
        maxDepth = std::max(maxDepth, depth);
        if (const NodeId child = tree.GetChildItem(node); child != kNoNode) {
            node = child;
            ++depth;
            continue;
        }
        if (const CMobChunk* rec = m_doc.Chunks().Lookup(tree.GetItemData(node)))
            payloadBytes += rec->m_nSize;
        while (node != kNoNode && tree.GetNextSiblingItem(node) == kNoNode) {
            node = tree.GetParentItem(node);
            --depth;
        }
        if (node != kNoNode)
            node = tree.GetNextSiblingItem(node);
    }
    m_out << "nodes " << nodes << "\n"
          << "payload_bytes " << payloadBytes << "\n"
          << "max_depth " << maxDepth << "\n";
    return allLoaded ? kExitOk : kExitFailed;
}

int CMobTool::CmdSave(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    return SaveTo(operands[1]);
}

int CMobTool::CmdShow(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    const CMobChunk* rec = RecordOf(m_doc, node);
    const std::string text = FormatChunkData(rec->m_nDataType, rec->m_pData.get(), rec->m_nSize);
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return kExitOk;
}

int CMobTool::CmdApply(const std::vector<std::string>& operands)
{
    std::string text;
    std::string error;
    if (!platform::ReadWholeFile(operands[2], text, error, kLargestTextFile)) {
        m_err << "mobtool: " << error << "\n";
        return kExitFailed;
    }
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    const EditResult applied = m_session.ApplyText(node, text);
    if (applied.Refused()) {
        m_err << applied.error << "\n";
        return kExitFailed;
    }
    return SaveTo(operands[3]);
}

int CMobTool::CmdHexdump(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    const CPayloadBytes payload = CPayloadBytes::Of(m_doc, node);
    const CHexLayout layout(payload.Bytes());
    std::string text;
    for (std::size_t row = 0; row < layout.RowCount(); ++row) {
        text += layout.Line(row);
        text += '\n';
        if (text.size() >= 1 << 16) {
            m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    }
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return kExitOk;
}

int CMobTool::CmdGuess(const std::vector<std::string>& operands)
{
    const bool allLoaded = LoadFiles(operands);
    std::string text;
    for (const TypeGuess& guess : CTypeGuesser::GuessAll(m_doc)) {
        // A line of the description file, so the output can be appended to it.
        text += TypeIdText(guess.id) + '\t';
        text += kDataTypeNames[static_cast<std::size_t>(guess.dataType)];
        text += "\tID_" + IdKey(guess.id) + "\tguess: " + std::to_string(guess.confidence) + "% ";
        text += guess.reason;
        text += '\n';
    }
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return allLoaded ? kExitOk : kExitFailed;
}

int CMobTool::CmdUnpack(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    CUnpackWriter writer(m_doc);
    const NodeId file = m_doc.Tree().GetRootItem();
    bool written = false;
    if (operands[1] == "-") {
        written = writer.Write(file, operands[0], [this](std::string_view piece, std::string& error) {
            m_out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            if (m_out)
                return true;
            error = "standard output cannot be written";
            return false;
        });
        m_out.flush();
    } else {
        written = writer.WriteFile(file, operands[0], operands[1]);
    }
    if (!written) {
        m_err << "mobtool: " << writer.GetError() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int CMobTool::CmdPack(const std::vector<std::string>& operands)
{
    std::string error;
    if (!PackFile(operands[0], operands[1], {}, error)) {
        m_err << "mobtool: " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

namespace {

constexpr int kExitDifferent = 1;
constexpr int kExitTrouble = 2;

// Which way a diff operand is read: by its name, else by whether it opens
// like a JSON object. A MOB file whose first byte is "{" can be named .mob.
bool IsUnpackedDocument(const std::string& path)
{
    const auto endsWith = [&](std::string_view suffix) {
        if (path.size() < suffix.size())
            return false;
        return std::equal(suffix.begin(), suffix.end(), path.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                          [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
    };
    if (endsWith(".json"))
        return true;
    if (endsWith(".mob"))
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    int c = 0;
    while ((c = std::fgetc(file)) == ' ' || c == '\t' || c == '\n' || c == '\r') {
    }
    std::fclose(file);
    return c == '{';
}

} // namespace

NodeId CMobTool::LoadForDiff(const std::string& path, std::unique_ptr<CMobDocument>& own, const CMobDocument*& doc)
{
    if (!IsUnpackedDocument(path)) {
        if (!ReadDescriptions() || !LoadFiles({path}))
            return kNoNode;
        doc = &m_doc;
        // The file just loaded is the last top-level node.
        NodeId file = m_doc.Tree().GetRootItem();
        while (m_doc.Tree().GetNextSiblingItem(file) != kNoNode)
            file = m_doc.Tree().GetNextSiblingItem(file);
        return file;
    }
    CPackReader reader;
    if (!reader.ReadFile(path)) {
        m_err << "mobtool: " << reader.GetError() << "\n";
        return kNoNode;
    }
    own = std::make_unique<CMobDocument>();
    for (const auto& [id, described] : reader.Descriptions()) {
        if (described.dataType == 0 && described.name.empty())
            continue;
        CFieldDesc entry;
        entry.m_strName = described.name;
        entry.m_strType = kDataTypeNames[static_cast<std::size_t>(described.dataType)];
        own->ReplaceEntry(IdKey(id), entry);
    }
    if (!own->LoadMobBytes(path, reader.Bytes())) {
        m_err << "mobtool: " << own->GetIoError() << "\n";
        return kNoNode;
    }
    doc = own.get();
    return own->Tree().GetRootItem();
}

int CMobTool::CmdDiff(const std::vector<std::string>& operands)
{
    std::unique_ptr<CMobDocument> ownA;
    std::unique_ptr<CMobDocument> ownB;
    const CMobDocument* docA = nullptr;
    const CMobDocument* docB = nullptr;
    const NodeId fileA = LoadForDiff(operands[0], ownA, docA);
    if (fileA == kNoNode)
        return kExitTrouble;
    const NodeId fileB = LoadForDiff(operands[1], ownB, docB);
    if (fileB == kNoNode)
        return kExitTrouble;
    std::string text;
    const std::uint64_t count = CMobDiff::Compare(*docA, fileA, *docB, fileB, [&](const ChunkDifference& d) {
        static constexpr char kMarks[] = {'-', '+', '~'};
        text += kMarks[static_cast<int>(d.kind)];
        text += ' ';
        text += d.path;
        if (!d.name.empty()) {
            text += " (";
            AppendLabel(text, d.name);
            text += ')';
        }
        if (d.kind == ChunkDifference::Kind::Changed) {
            if (d.hasTexts) {
                text += ' ';
                AppendLabel(text, d.oldText);
                text += " -> ";
                AppendLabel(text, d.newText);
            } else {
                text += ' ' + std::to_string(d.bytesDiffer) + (d.bytesDiffer == 1 ? " byte differs" : " bytes differ");
            }
        }
        text += '\n';
        if (text.size() >= 1 << 16) {
            m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
            text.clear();
        }
    });
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return count == 0 ? kExitOk : kExitDifferent;
}

int CMobTool::Refused(const EditResult& result)
{
    m_err << "mobtool: " << result.error << "\n";
    return kExitFailed;
}

int CMobTool::CmdDelete(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    if (const EditResult result = m_session.Do(CChunkMove::ForDelete(m_doc, node)); result.Refused())
        return Refused(result);
    return SaveTo(operands[2]);
}

int CMobTool::CmdInsert(const std::vector<std::string>& operands)
{
    std::string payload;
    std::string error;
    if (operands.size() == 6 &&
        !platform::ReadWholeFile(operands[5], payload, error, CMobDocument::kLargestPayload)) {
        m_err << "mobtool: " << error << "\n";
        return kExitFailed;
    }
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId parent = FindNode(operands[1]);
    if (parent == kNoNode)
        return kExitFailed;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(payload.data());
    const EditResult result = m_session.Do(CChunkMove::ForInsert(m_doc, parent, *IndexOf(operands[2]),
                                                                 *IdOfHex(operands[3]), {bytes, payload.size()}));
    if (result.Refused())
        return Refused(result);
    return SaveTo(operands[4]);
}

int CMobTool::CmdMove(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    const EditResult result =
        m_session.Do(CChunkMove::ForMove(m_doc, node, m_doc.Tree().GetParentItem(node), *IndexOf(operands[2])));
    if (result.Refused())
        return Refused(result);
    return SaveTo(operands[3]);
}

int CMobTool::CmdCopy(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0], operands[2]}))
        return kExitFailed;
    const CChunkTree& tree = m_doc.Tree();
    const NodeId file = tree.GetRootItem();
    const NodeId destFile = tree.GetNextSiblingItem(file);
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    if (FileNodeOf(tree, node) != file) {
        m_err << "mobtool: node key " << operands[1] << " is not in " << operands[0] << "\n";
        return kExitFailed;
    }
    const NodeId parent = FindNode(operands[3]);
    if (parent == kNoNode)
        return kExitFailed;
    if (FileNodeOf(tree, parent) != destFile) {
        m_err << "mobtool: node key " << operands[3] << " is not in " << operands[2] << "\n";
        return kExitFailed;
    }
    std::vector<std::uint8_t> bytes;
    if (!m_doc.WriteChunk(node, bytes)) {
        m_err << "mobtool: " << m_doc.GetIoError() << "\n";
        return kExitFailed;
    }
    if (const EditResult result = m_session.Do(CChunkMove::ForImport(m_doc, parent, *IndexOf(operands[4]), bytes));
        result.Refused())
        return Refused(result);
    return SaveFileTo(destFile, operands[5]);
}

int CMobTool::CmdExtract(const std::vector<std::string>& operands)
{
    if (!LoadFiles({operands[0]}))
        return kExitFailed;
    const NodeId node = FindNode(operands[1]);
    if (node == kNoNode)
        return kExitFailed;
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!m_doc.WriteChunk(node, bytes)) {
        m_err << "mobtool: " << m_doc.GetIoError() << "\n";
        return kExitFailed;
    }
    if (!platform::WriteFileSafely(operands[2], bytes.data(), bytes.size(), error)) {
        m_err << "Save error! " << error << "\n";
        return kExitFailed;
    }
    m_out << "Saved file: " << operands[2] << "\n";
    return kExitOk;
}

} // namespace qm
