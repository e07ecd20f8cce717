#include "codec/CPayloadLayout.h"

#include "desc/DataType.h"

#include <algorithm>
#include <array>

namespace qm {

namespace {

using Kind = CPayloadLayout::Kind;
using Field = CPayloadLayout::Field;

constexpr std::array<Field, 1> kByte = {{{0, Kind::U8}}};
constexpr std::array<Field, 1> kWord = {{{0, Kind::U16}}};
constexpr std::array<Field, 1> kDword = {{{0, Kind::I32}}};
constexpr std::array<Field, 1> kFloat = {{{0, Kind::F32}}};
// The text does not follow the payload here: the value at 4 comes last.
constexpr std::array<Field, 4> kRect = {{{0, Kind::I32}, {8, Kind::I32}, {12, Kind::I32}, {4, Kind::I32}}};
constexpr std::array<Field, 3> kPlot = {{{0, Kind::F32}, {4, Kind::F32}, {8, Kind::F32}}};
constexpr std::array<Field, 4> kQuaternion = {{{0, Kind::F32}, {4, Kind::F32}, {8, Kind::F32}, {12, Kind::F32}}};
constexpr std::array<Field, 3> kBinary = {{{0, Kind::I32}, {4, Kind::I32}, {8, Kind::I32}}};
constexpr std::array<Field, 2> kStrS08 = {{{0, Kind::I32}, {4, Kind::I32}}};

struct Run {
    std::uint32_t offset;
    std::uint32_t count;
    Kind kind;
};

// The STR_S06 record as runs of like values; the gaps at 58 and 113 are
// bytes the text never shows.
constexpr std::array<Run, 7> kStrS06Runs = {{
    {0, 4, Kind::I32},
    {16, 10, Kind::F32},
    {56, 2, Kind::U8},
    {60, 13, Kind::F32},
    {112, 1, Kind::U8},
    {116, 12, Kind::F32},
    {164, 6, Kind::U8},
}};

constexpr std::size_t kStrS06FieldCount = 48;

constexpr std::uint32_t WidthOf(Kind kind)
{
    switch (kind) {
    case Kind::U8:
        return 1;
    case Kind::U16:
        return 2;
    case Kind::I32:
    case Kind::F32:
        return 4;
    }
    return 0;
}

constexpr std::array<Field, kStrS06FieldCount> BuildStrS06()
{
    std::array<Field, kStrS06FieldCount> fields{};
    std::size_t n = 0;
    for (const Run& run : kStrS06Runs) {
        for (std::uint32_t i = 0; i < run.count; ++i)
            fields[n++] = {run.offset + i * WidthOf(run.kind), run.kind};
    }
    return fields;
}

constexpr std::array<Field, kStrS06FieldCount> kStrS06 = BuildStrS06();
static_assert(kStrS06.back().offset + 1 == CPayloadLayout::kStrS06Size, "the STR_S06 fields end at its size");

} // namespace

std::span<const Field> CPayloadLayout::Fields(std::int32_t dataType)
{
    switch (dataType) {
    case DT_BYTE:
        return kByte;
    case DT_WORD:
        return kWord;
    case DT_DWORD:
        return kDword;
    case DT_FLOAT:
        return kFloat;
    case DT_RECT:
        return kRect;
    case DT_PLOT:
        return kPlot;
    case DT_QUATERNION:
        return kQuaternion;
    case DT_BINARY:
        return kBinary;
    case DT_STR_S06:
        return kStrS06;
    case DT_STR_S08:
        return kStrS08;
    default:
        return {};
    }
}

std::string_view CPayloadLayout::Separator(std::int32_t dataType)
{
    return dataType == DT_STR_S06 ? std::string_view("\r\n") : std::string_view(",");
}

std::uint32_t CPayloadLayout::Size(std::int32_t dataType)
{
    if (dataType == DT_DIPLOMACY)
        return kDiplomacySize;
    std::uint32_t size = 0;
    for (const Field& field : Fields(dataType))
        size = std::max(size, field.offset + WidthOf(field.kind));
    return size;
}

std::uint32_t CPayloadLayout::ListEntrySize(std::int32_t dataType)
{
    switch (dataType) {
    case DT_STR_S01:
        return 12;
    case DT_STR_S02:
        return 8;
    default:
        return 0;
    }
}

std::uint32_t CPayloadLayout::Width(Kind kind)
{
    return WidthOf(kind);
}

} // namespace qm
