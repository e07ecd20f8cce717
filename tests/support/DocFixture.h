#pragma once

#include "mob/CMobDocument.h"
#include "tools/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

// Ids the fixtures' description table knows.
inline constexpr std::uint32_t kIdRec = 0x1000;       // REC "Group"
inline constexpr std::uint32_t kIdRecInner = 0x1001;  // REC "Inner"
inline constexpr std::uint32_t kIdByte = 0x2001;      // BYTE "Flag"
inline constexpr std::uint32_t kIdDword = 0x2003;     // DWORD "Count"
inline constexpr std::uint32_t kIdString = 0x2005;    // STRING "Name"
inline constexpr std::uint32_t kIdRect = 0x200A;      // RECT "Bounds"
inline constexpr std::uint32_t kIdUnknown = 0x7777;   // no description

// A document with a small description table, and files written to a
// temporary folder.
class DocFixture : public ::testing::Test {
protected:
    DocFixture();

    // Writes bytes to a file in the folder and loads it; the file's path.
    std::string Load(const std::vector<std::uint8_t>& bytes, std::string_view name = "test.mob");
    // Writes bytes to a file in the folder; its path.
    std::string Put(const std::vector<std::uint8_t>& bytes, std::string_view name);
    // Saves the first file to a new file in the folder and reads it back.
    std::vector<std::uint8_t> SaveAndRead(std::string_view name = "saved.mob");

    const CMobChunk& Rec(std::int32_t key);

    tools::TempDir dir;
    CMobDocument doc;
};

} // namespace qm::test
