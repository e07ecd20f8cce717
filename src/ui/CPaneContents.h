#pragma once

#include "mob/CChunkTree.h"

#include <cstdint>
#include <string>

namespace qm {

class CMobDocument;

// What the description, field-info and data panes show for one node, as
// bytes and numbers; the window only puts them into its controls.
class CPaneContents {
public:
    // The panes for node, which must be a node of doc's tree.
    static CPaneContents ForNode(const CMobDocument& doc, NodeId node);

    std::string m_strDescription;
    std::string m_strTypeName;
    std::string m_strTypeId;  // "0x" and the id key; "0x" alone without a record
    std::string m_strData;    // the payload as text, CR LF line breaks
    std::int32_t m_nSize = 0;
    std::string m_strOffset = "0x00000000";
    bool m_bWritable = false;
};

} // namespace qm
