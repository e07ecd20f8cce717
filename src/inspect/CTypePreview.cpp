#include "inspect/CTypePreview.h"

#include "codec/CPayloadLayout.h"
#include "codec/FormatChunkData.h"
#include "desc/DataType.h"
#include "inspect/CPayloadShape.h"

#include <algorithm>
#include <string_view>

namespace qm {

namespace {

constexpr std::uint32_t kKeySize = 4;
// Only the first bytes of a large payload are rendered: every layout shows
// its first lines from them (the fixed ones are smaller), and a 64 MiB
// payload then costs no more than a small one.
constexpr std::size_t kRenderedBytes = 64 * 1024;

// Keeps the first maxLines lines of text, each cut to the line limit.
TypePreview FirstLines(std::int32_t dataType, std::string_view text, bool cutShort, std::size_t maxLines)
{
    TypePreview preview{dataType, {}, cutShort};
    for (std::size_t line = 0; !text.empty(); ++line) {
        if (line == maxLines) {
            preview.more = true;
            break;
        }
        const std::size_t end = text.find("\r\n");
        std::string_view current = text.substr(0, end);
        if (current.size() > CTypePreview::kLineLimit) {
            current = current.substr(0, CTypePreview::kLineLimit);
            preview.more = true;
        }
        if (line > 0)
            preview.text += "\r\n";
        preview.text += current;
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 2);
    }
    return preview;
}

} // namespace

bool CTypePreview::LayoutFits(std::int32_t dataType, std::span<const std::uint8_t> payload)
{
    const std::size_t size = payload.size();
    switch (dataType) {
    case DT_NULL:
    case DT_STRING:
    case DT_SCRIPT:
    case DT_STR_S09:
    case DT_STR_S10:
    case DT_STR_S11:
        return true;
    case DT_DWORD:
        return size == 1 || size == CPayloadLayout::Size(DT_DWORD);
    case DT_STR_S06:
        return size >= CPayloadLayout::Size(DT_STR_S06);
    case DT_REC:
        return CPayloadShape::IsChunkList(payload);
    case DT_SCRIPT_ENC:
        return size >= kKeySize;
    case DT_STR_SAR:
        return CPayloadShape::StrSarRecords(payload).has_value();
    case DT_STR_S01:
        return CPayloadShape::FloatListCount(payload, 3).has_value();
    case DT_STR_S02:
        return CPayloadShape::FloatListCount(payload, 2).has_value();
    default:
        return dataType > 0 && dataType < kDataTypeCount && size == CPayloadLayout::Size(dataType);
    }
}

std::vector<TypePreview> CTypePreview::ForPayload(std::span<const std::uint8_t> payload, std::size_t maxLines)
{
    const bool cutShort = payload.size() > kRenderedBytes;
    const auto rendered = payload.first(std::min(payload.size(), kRenderedBytes));
    std::vector<TypePreview> previews;
    for (std::int32_t type = 0; type < kDataTypeCount; ++type) {
        if (!LayoutFits(type, payload))
            continue;
        const std::string text =
            FormatChunkData(type, rendered.data(), static_cast<std::uint32_t>(rendered.size()));
        previews.push_back(FirstLines(type, text, cutShort && !text.empty(), maxLines));
    }
    return previews;
}

} // namespace qm
