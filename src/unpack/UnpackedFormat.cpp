#include "unpack/UnpackedFormat.h"

#include "desc/IdKey.h"

namespace qm::unpacked {

std::string PathSegment(std::uint32_t id, std::uint32_t occurrence)
{
    return IdKey(id) + ":" + std::to_string(occurrence);
}

void AppendPathSegment(std::string& path, std::uint32_t id, std::uint32_t occurrence)
{
    if (!path.empty())
        path += '/';
    path += PathSegment(id, occurrence);
}

} // namespace qm::unpacked
