#pragma once

#include <string>

namespace qm {

// One line of "mob_desc.txt": what a chunk type id is called, how its payload
// is read, and the free text the user may edit.
class CFieldDesc {
public:
    std::string m_strDescription;
    std::string m_strName;
    std::string m_strType;

    bool operator==(const CFieldDesc&) const = default;
};

} // namespace qm
