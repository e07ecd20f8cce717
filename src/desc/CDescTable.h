#pragma once

#include "desc/CFieldDesc.h"
#include "desc/DataType.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qm {

// The field-description table: chunk type id key ("%08X") to name, data type
// and description, read from and written back to "mob_desc.txt".
//
// Operations that can fail return false and leave the text to show in
// GetError(); nothing here talks to the user.
class CDescTable {
public:
    CDescTable();

    // Fixes the path of the description file once: a relative name is taken
    // from the working folder as it is now, so later changes of the working
    // folder do not move the file.
    void SetDescFile(std::string_view fileName);

    // Merges the file into the table. Entries read before a malformed line
    // stay; the line's number and fault are named in the error text.
    bool ReadDescFile();

    // Uses another description file from now on: its entries replace the
    // whole table, and later reads and writes go to it. When it cannot be
    // read, nothing changes.
    bool SwitchDescFile(std::string_view fileName);

    // Rewrites the whole file from the table, sorted by key, replacing the
    // old file only once the new one is completely on disk.
    bool WriteDescFile();

    // idText is the id as shown in the TypeID field: a two-character prefix
    // followed by the key ("0x0000A000").
    bool SetDescription(std::string_view idText, std::string_view text);
    // The key in idText, and the error for an idText whose key has no entry.
    static std::string_view KeyOfIdText(std::string_view idText);
    static std::string NoDescriptionError(std::string_view idText);

    // Puts entry under key, or removes the entry there when entry is none,
    // and gives back what was there before: an edit keeps it to undo with.
    std::optional<CFieldDesc> ReplaceEntry(std::string_view key, std::optional<CFieldDesc> entry);

    bool GetDescription(std::string_view key, std::string& out) const;
    bool GetTypeName(std::string_view key, std::string& out) const;
    const CFieldDesc* LookupDesc(std::string_view key) const;
    // Every entry as key and description, in key order.
    std::vector<std::pair<std::string_view, const CFieldDesc*>> SortedEntries() const;

    // Code 1..21 for a listed name (ASCII case ignored), 0 for anything else.
    static int TypeCodeFromName(std::string_view typeName);

    const std::string& GetError() const { return m_strError; }
    const std::string& GetDescPath() const { return m_strDescPath; }
    std::size_t GetDescCount() const { return m_mapDesc.size(); }
    const std::array<std::string_view, kDataTypeCount>& GetTypeNames() const { return m_arrTypeNames; }

    // Grows by one with every change of the table's contents, so callers can
    // tell when something they derived from it is out of date.
    std::uint64_t GetGeneration() const { return m_nGeneration; }

private:
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using DescMap = std::unordered_map<std::string, CFieldDesc, KeyHash, std::equal_to<>>;

    bool ParseDescText(std::string_view text);
    void SetOpenError(const std::string& platformText);

    std::string m_strError;
    std::string m_strDescPath;
    DescMap m_mapDesc;
    std::array<std::string_view, kDataTypeCount> m_arrTypeNames;
    std::uint64_t m_nGeneration = 0;
};

} // namespace qm
