#include "edit/CEditSession.h"

#include "edit/CDescriptionEdit.h"
#include "edit/CStepGroup.h"
#include "edit/PreparePayloadText.h"
#include "mob/CMobDocument.h"

namespace qm {

CEditSession::CEditSession(CMobDocument& doc, std::size_t byteCap) : m_doc(doc), m_history(byteCap) {}

EditResult CEditSession::Do(PreparedEdit edit)
{
    if (edit.Refused())
        return {EditResult::Status::Refused, std::move(edit.error), kNoNode};
    if (!edit.op)
        return {};
    const NodeId planned = edit.op->Node();
    const IEditOperation* step = m_history.Do(m_doc, std::move(edit.op));
    return {EditResult::Status::Done, {}, step ? step->Node() : planned};
}

EditResult CEditSession::ApplyText(NodeId node, std::string_view text)
{
    return Do(PreparePayloadText(m_doc, node, text));
}

EditResult CEditSession::SetDescription(std::string_view idText, std::string_view text, NodeId shown)
{
    return Do(CDescriptionEdit::ForDescription(m_doc, idText, text, shown));
}

EditResult CEditSession::SetEntry(std::string_view key, CFieldDesc entry, NodeId shown)
{
    return Do(CDescriptionEdit::ForEntry(m_doc, key, std::move(entry), shown));
}

EditResult CEditSession::SetEntries(std::vector<std::pair<std::string, CFieldDesc>> entries, std::string label,
                                   NodeId shown)
{
    std::vector<PreparedEdit> parts;
    parts.reserve(entries.size());
    for (auto& [key, entry] : entries)
        parts.push_back(CDescriptionEdit::ForEntry(m_doc, key, std::move(entry), shown));
    return Do(CStepGroup::Of(std::move(parts), std::move(label), shown));
}

std::string CEditSession::UndoText() const
{
    const IEditOperation* step = m_history.NextUndo();
    return step ? "Undo " + step->Label(m_doc) : std::string();
}

std::string CEditSession::RedoText() const
{
    const IEditOperation* step = m_history.NextRedo();
    return step ? "Redo " + step->Label(m_doc) : std::string();
}

bool CEditSession::SaveMobFile(const std::string& path)
{
    if (!m_doc.SaveMobFile(path))
        return false;
    m_history.MarkFileSaved(m_doc.Tree().GetRootItem());
    return true;
}

bool CEditSession::SaveFile(NodeId fileNode, const std::string& path)
{
    if (!m_doc.SaveFile(fileNode, path))
        return false;
    m_history.MarkFileSaved(fileNode);
    return true;
}

bool CEditSession::WriteDescFile()
{
    if (!m_doc.WriteDescFile())
        return false;
    m_history.MarkDescriptionsWritten();
    return true;
}

bool CEditSession::ReadDescFile()
{
    if (!m_doc.ReadDescFile())
        return false;
    m_history.MarkDescriptionsWritten();
    return true;
}

bool CEditSession::SwitchDescFile(std::string_view fileName)
{
    if (!m_doc.SwitchDescFile(fileName))
        return false;
    m_history.MarkDescriptionsWritten();
    return true;
}

void CEditSession::UnloadAll()
{
    // The steps hold payloads borrowed from the load's buffers, which go
    // with the files.
    m_history.Clear();
    m_doc.UnloadAll();
}

} // namespace qm
