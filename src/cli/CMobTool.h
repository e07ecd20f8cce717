#pragma once

#include "cli/CDbCommands.h"
#include "edit/CEditSession.h"
#include "mob/CMobDocument.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace qm {

// mobtool: the document core driven from the command line, for scripts.
// Exit status 0 on success, 1 when an operation failed, 2 on a usage error.
class CMobTool {
public:
    CMobTool(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    int Run(const std::vector<std::string>& args);

    static constexpr int kExitOk = 0;
    static constexpr int kExitFailed = 1;
    static constexpr int kExitUsage = 2;

private:
    int Usage(const std::string& problem);
    int RunDbCommand(const std::string& command, const std::vector<std::string>& operands);
    bool ReadDescriptions();
    // Loads the files in order into the one tree; false when any failed.
    bool LoadFiles(const std::vector<std::string>& paths);
    // The node with the node key in keyText, or kNoNode (and the reason told).
    NodeId FindNode(const std::string& keyText);
    // A usage problem with the operands of command, or empty text.
    static std::string OperandProblem(const std::string& command, const std::vector<std::string>& operands);
    int SaveTo(const std::string& path);
    int SaveFileTo(NodeId fileNode, const std::string& path);
    int Refused(const EditResult& result);

    int CmdTree(const std::vector<std::string>& operands);
    int CmdSave(const std::vector<std::string>& operands);
    int CmdStat(const std::vector<std::string>& operands);
    int CmdShow(const std::vector<std::string>& operands);
    int CmdApply(const std::vector<std::string>& operands);
    int CmdHexdump(const std::vector<std::string>& operands);
    int CmdGuess(const std::vector<std::string>& operands);
    int CmdUnpack(const std::vector<std::string>& operands);
    int CmdPack(const std::vector<std::string>& operands);
    int CmdDiff(const std::vector<std::string>& operands);
    // One side of a diff: a MOB file loaded into m_doc, or an unpacked
    // document packed into a document of its own, typed by itself.
    NodeId LoadForDiff(const std::string& path, std::unique_ptr<CMobDocument>& own, const CMobDocument*& doc);
    int CmdDelete(const std::vector<std::string>& operands);
    int CmdInsert(const std::vector<std::string>& operands);
    int CmdMove(const std::vector<std::string>& operands);
    int CmdCopy(const std::vector<std::string>& operands);
    int CmdExtract(const std::vector<std::string>& operands);

    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_strDescPath = "mob_desc.txt";
    bool m_bDescriptionsRead = false;
    bool m_bTraceCipher = false;
    CDbCommands m_db{m_out, m_err};
    CMobDocument m_doc;
    CEditSession m_session{m_doc};
};

} // namespace qm
