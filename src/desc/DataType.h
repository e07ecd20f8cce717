#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace qm {

// How a chunk's payload is read. The numbers are stored nowhere but are
// part of the program's vocabulary (mobtool prints them), so they never change.
enum DataType : std::int32_t {
    DT_NULL = 0,
    DT_BYTE = 1,
    DT_WORD = 2,
    DT_DWORD = 3,
    DT_FLOAT = 4,
    DT_STRING = 5,
    DT_REC = 6,
    DT_SCRIPT = 7,
    DT_SCRIPT_ENC = 8,
    DT_STR_SAR = 9,
    DT_RECT = 10,
    DT_STR_S01 = 11,
    DT_STR_S02 = 12,
    DT_PLOT = 13,
    DT_QUATERNION = 14,
    DT_BINARY = 15,
    DT_STR_S06 = 16,
    DT_DIPLOMACY = 17,
    DT_STR_S08 = 18,
    DT_STR_S09 = 19,
    DT_STR_S10 = 20,
    DT_STR_S11 = 21,
};

inline constexpr int kDataTypeCount = 22;

// Names as written in "mob_desc.txt"; the index is the code.
inline constexpr std::array<std::string_view, kDataTypeCount> kDataTypeNames = {
    "NULL",    "BYTE",    "WORD",    "DWORD",   "FLOAT",      "STRING",  "REC",     "SCRIPT",
    "SCRIPT_ENC", "STR_SAR", "RECT", "STR_S01", "STR_S02",    "PLOT",    "QUATERNION", "BINARY",
    "STR_S06", "DIPLOMACY", "STR_S08", "STR_S09", "STR_S10",  "STR_S11",
};

} // namespace qm
