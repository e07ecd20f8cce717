// Arbitrary bytes as "mob_desc.txt". The table must read exactly the
// entries that the line rules give, and fail exactly where they fail; and
// whatever it read, it must write a file that reads back to the same
// entries and writes again to the same bytes (TAB, CR, LF and NUL never
// survive a read, so the write-back has nothing to change).

#include "FuzzCheck.h"
#include "tools/TempDir.h"

#include "desc/CDescTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qm::fuzz {
namespace {

struct Entry {
    std::string type;
    std::string name;
    std::string description;

    bool operator==(const Entry&) const = default;
};

// Sorted by key, as the table writes its lines.
using Entries = std::map<std::string, Entry>;

std::string_view NextField(std::string_view& line)
{
    const std::size_t start = std::min(line.find_first_not_of('\t'), line.size());
    line.remove_prefix(start);
    const std::size_t end = std::min(line.find('\t'), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

// The entries that reading text adds, and whether the read succeeds: a
// leading UTF-8 byte-order mark is skipped, a line ends at LF, CR LF or a
// lone CR, a NUL ends it (and fails the read when it is the line's first
// byte), runs of TABs separate up to four fields, a line without fields is
// skipped and one with fewer than three fails the read.
bool ReadByTheRules(std::string_view text, Entries& entries)
{
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        std::string_view line = text.substr(0, end);
        const bool crLf = text.substr(end, 2) == "\r\n";
        text.remove_prefix(std::min(end + (crLf ? 2 : 1), text.size()));
        const std::size_t nul = line.find('\0');
        if (nul == 0)
            return false;
        line = line.substr(0, nul);

        std::string_view fields[4];
        int count = 0;
        for (; count < 4; ++count) {
            fields[count] = NextField(line);
            if (fields[count].empty())
                break;
        }
        if (count == 0)
            continue;
        if (count < 3)
            return false;
        const std::string_view key = fields[0].size() > 2 ? fields[0].substr(2) : std::string_view();
        entries[std::string(key)] = {std::string(fields[1]), std::string(fields[2]), std::string(fields[3])};
    }
    return true;
}

void CheckHolds(const CDescTable& table, const Entries& entries, const char* promise)
{
    Check(table.GetDescCount() == entries.size(), promise);
    for (const auto& [key, entry] : entries) {
        const CFieldDesc* held = table.LookupDesc(key);
        Check(held != nullptr, promise);
        Check(Entry{held->m_strType, held->m_strName, held->m_strDescription} == entry, promise);
    }
}

void ReadAgain(const std::string& path, const Entries& expected)
{
    CDescTable table;
    table.SetDescFile(path);
    Check(table.ReadDescFile(), "a written description file reads back");
    CheckHolds(table, expected, "a written description file reads back to the same entries");
}

void TestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const tools::TempDir folder;
    static const std::string path = folder.File("mob_desc.txt");
    tools::WriteFileBytes(path, data, size);
    const std::string_view text(reinterpret_cast<const char*>(data), data ? size : 0);

    Entries expected;
    const bool readable = ReadByTheRules(text, expected);
    CDescTable table;
    table.SetDescFile(path);
    const bool read = table.ReadDescFile();
    Check(read == readable, "a read fails exactly at a malformed line");
    Check(read || !table.GetError().empty(), "a failed read says why");
    CheckHolds(table, expected, "a read holds the entries of the lines before any malformed one");
    if (!read)
        return;

    Check(table.WriteDescFile(), "the table can be written");
    const std::vector<std::uint8_t> written = tools::ReadFileBytes(path);
    ReadAgain(path, expected);

    CDescTable second;
    second.SetDescFile(path);
    Check(second.ReadDescFile() && second.WriteDescFile(), "a written file reads and writes again");
    Check(tools::ReadFileBytes(path) == written, "writing what was read back is a fixed point");
}

} // namespace
} // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::fuzz::TestOneInput(data, size);
    return 0;
}
