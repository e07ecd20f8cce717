#pragma once

#include "db/IChunkStore.h"

#include <cstdint>
#include <string>

namespace qm::db {

// Rebuilds one unpacked file from its rows and writes it as a MOB file.
//
// Rows are taken as people may have left them after editing with SQL:
// text that still shows the payload means the payload, other text is
// parsed onto it; rows deleted or inserted change the structure as long
// as keys, parents, positions and depths agree. Rows that do not agree
// are refused with the node key that is wrong, and nothing is written.
class CDbPacker {
public:
    // Writes file fileId of store to path; the file at path keeps its old
    // contents unless the whole new file was written.
    bool Pack(IChunkStore& store, std::int64_t fileId, const std::string& path);

    const std::string& Error() const { return m_strError; }

private:
    std::string m_strError;
};

} // namespace qm::db
