#include "codec/ParseChunkData.h"
// placeholder, replaced by the codec work
namespace qm {
bool ParseChunkData(CMobChunk&, std::string_view) { return false; }
}
