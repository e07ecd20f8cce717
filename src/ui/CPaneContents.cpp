#include "ui/CPaneContents.h"

#include "codec/FormatChunkData.h"
#include "desc/IdKey.h"
#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qm {

namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// Containers and chunks that hold nothing have no text to edit.
bool IsWritableType(std::string_view typeName)
{
    return !EqualsIgnoringAsciiCase(typeName, "REC") && !EqualsIgnoringAsciiCase(typeName, "NULL");
}

} // namespace

CPaneContents CPaneContents::ForNode(const CMobDocument& doc, NodeId node)
{
    CPaneContents pane;
    const CChunkTree& tree = doc.Tree();
    const CMobChunk* rec = RecordOf(doc, node);

    const std::string key = rec ? IdKey(rec->m_nId) : std::string();
    pane.m_strTypeId = rec ? TypeIdText(rec->m_nId) : "0x";

    // A label with a full stop is a file's path: no description, no type,
    // nothing to edit. A chunk whose name has one is shown the same way.
    if (tree.GetItemText(node).find('.') == std::string_view::npos) {
        doc.GetDescription(key, pane.m_strDescription);
        doc.GetTypeName(key, pane.m_strTypeName);
        pane.m_bWritable = IsWritableType(pane.m_strTypeName);
    }

    if (rec) {
        pane.m_nSize = static_cast<std::int32_t>(rec->m_nSize);
        char offset[16];
        std::snprintf(offset, sizeof offset, "0x%08X", rec->m_nOffset);
        pane.m_strOffset = offset;
        pane.m_strData = FormatChunkData(rec->m_nDataType, rec->m_pData.get(), rec->m_nSize);
    }
    return pane;
}

} // namespace qm
