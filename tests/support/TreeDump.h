#pragma once

#include "mob/CMobDocument.h"

#include <string>

namespace qm::test {

// An indented dump of the whole tree, one node a line:
//   <indent>KEY "LABEL" img=N id=XXXXXXXX type=T size=S off=O [data] [trailing=N]
// where [data] is "-" for a leaf whose record has no payload copy, and
// trailing= counts the bytes kept after the node's last child. Compared
// against golden text in the tests.
std::string DumpTree(const CMobDocument& doc);

} // namespace qm::test
