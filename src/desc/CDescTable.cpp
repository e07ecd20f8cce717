#include "desc/CDescTable.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace qm {

namespace {

// Far beyond any real table (a few hundred lines), yet small enough that
// pointing the reader at an endless source (/dev/zero) cannot fill memory.
constexpr std::uint64_t kLargestDescFile = 256ull << 20;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// Up to four fields of one line. A run of TABs is one separator and TABs at
// the start are skipped, so an empty field is never seen; whatever follows
// the fourth field is ignored.
struct LineFields {
    std::string_view field[4];
    int count = 0;
};

LineFields CutFields(std::string_view line)
{
    LineFields fields;
    std::size_t pos = 0;
    while (fields.count < 4) {
        pos = line.find_first_not_of('\t', pos);
        if (pos == std::string_view::npos)
            break;
        std::size_t end = line.find('\t', pos);
        if (end == std::string_view::npos)
            end = line.size();
        fields.field[fields.count++] = line.substr(pos, end - pos);
        pos = end;
    }
    return fields;
}

// A TAB, CR or LF written inside a field would split the line when it is
// read back, and a NUL would end it; each is written as a space instead.
void AppendField(std::string& out, std::string_view field)
{
    for (const char c : field)
        out += (c == '\t' || c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
}

} // namespace

CDescTable::CDescTable()
{
    std::copy(kDataTypeNames.begin(), kDataTypeNames.end(), m_arrTypeNames.begin());
}

void CDescTable::SetDescFile(std::string_view fileName)
{
    if (!fileName.empty() && fileName.front() == '/') {
        m_strDescPath = fileName;
        return;
    }
    m_strDescPath = platform::CurrentWorkingFolder();
    if (m_strDescPath.empty() || m_strDescPath.back() != '/')
        m_strDescPath += '/';
    m_strDescPath += fileName;
}

void CDescTable::SetOpenError(const std::string& platformText)
{
    if (!platformText.empty())
        m_strError = "Error while open description file: \n" + platformText;
    else
        m_strError = "Error while open description file: " + m_strDescPath;
}

bool CDescTable::ReadDescFile()
{
    m_strError.clear();
    std::string text;
    std::string platformText;
    if (!platform::ReadWholeFile(m_strDescPath, text, platformText, kLargestDescFile)) {
        SetOpenError(platformText);
        return false;
    }
    return ParseDescText(text);
}

bool CDescTable::SwitchDescFile(std::string_view fileName)
{
    CDescTable other;
    other.SetDescFile(fileName);
    if (!other.ReadDescFile()) {
        m_strError = other.m_strError;
        return false;
    }
    m_strError.clear();
    m_strDescPath = std::move(other.m_strDescPath);
    m_mapDesc = std::move(other.m_mapDesc);
    ++m_nGeneration;
    return true;
}

bool CDescTable::ParseDescText(std::string_view text)
{
    ++m_nGeneration;
    // An editor may have put a byte-order mark before the first entry.
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        ++lineNumber;
        // Lines end in LF, CR LF or a lone CR, whichever system wrote them.
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        // The line is text: a NUL ends it. One that starts with a NUL holds
        // nothing readable, which is taken as a damaged file.
        if (const auto nul = line.find('\0'); nul != std::string_view::npos) {
            if (nul == 0) {
                m_strError = "Error in description file at line " + std::to_string(lineNumber) +
                             ": the line begins with a NUL byte.";
                return false;
            }
            line = line.substr(0, nul);
        }

        const LineFields fields = CutFields(line);
        if (fields.count == 0)
            continue;
        if (fields.count < 3) {
            m_strError = "Error in description file at line " + std::to_string(lineNumber) +
                         (fields.count == 1 ? ": the type name and the name are missing."
                                            : ": the name is missing.");
            return false;
        }
        const std::string_view idField = fields.field[0];
        std::string key(idField.size() > 2 ? idField.substr(2) : std::string_view());
        CFieldDesc entry;
        entry.m_strType = fields.field[1];
        entry.m_strName = fields.field[2];
        entry.m_strDescription = fields.count > 3 ? fields.field[3] : std::string_view();
        m_mapDesc.insert_or_assign(std::move(key), std::move(entry));
    }
    return true;
}

std::vector<std::pair<std::string_view, const CFieldDesc*>> CDescTable::SortedEntries() const
{
    std::vector<std::pair<std::string_view, const CFieldDesc*>> entries;
    entries.reserve(m_mapDesc.size());
    for (const auto& [key, entry] : m_mapDesc)
        entries.emplace_back(key, &entry);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

bool CDescTable::WriteDescFile()
{
    std::string text;
    for (const auto& [key, entry] : SortedEntries()) {
        text += "0x";
        AppendField(text, key);
        text += '\t';
        AppendField(text, entry->m_strType);
        text += '\t';
        AppendField(text, entry->m_strName);
        text += '\t';
        AppendField(text, entry->m_strDescription);
        text += "\r\n";
    }

    std::string platformText;
    if (!platform::WriteFileSafely(m_strDescPath, text.data(), text.size(), platformText)) {
        SetOpenError(platformText);
        return false;
    }
    return true;
}

std::string_view CDescTable::KeyOfIdText(std::string_view idText)
{
    return idText.size() > 2 ? idText.substr(2) : std::string_view();
}

std::string CDescTable::NoDescriptionError(std::string_view idText)
{
    return "Can't find description for id: \n" + std::string(idText);
}

bool CDescTable::SetDescription(std::string_view idText, std::string_view text)
{
    const auto it = m_mapDesc.find(KeyOfIdText(idText));
    if (it == m_mapDesc.end()) {
        m_strError = NoDescriptionError(idText);
        return false;
    }
    it->second.m_strDescription = text;
    ++m_nGeneration;
    return true;
}

std::optional<CFieldDesc> CDescTable::ReplaceEntry(std::string_view key, std::optional<CFieldDesc> entry)
{
    ++m_nGeneration;
    std::optional<CFieldDesc> previous;
    const auto it = m_mapDesc.find(key);
    if (it != m_mapDesc.end()) {
        previous = std::move(it->second);
        if (entry)
            it->second = std::move(*entry);
        else
            m_mapDesc.erase(it);
        return previous;
    }
    if (entry)
        m_mapDesc.emplace(std::string(key), std::move(*entry));
    return previous;
}

bool CDescTable::GetDescription(std::string_view key, std::string& out) const
{
    const CFieldDesc* entry = LookupDesc(key);
    if (!entry)
        return false;
    out = entry->m_strDescription;
    return true;
}

bool CDescTable::GetTypeName(std::string_view key, std::string& out) const
{
    const CFieldDesc* entry = LookupDesc(key);
    if (!entry)
        return false;
    out = entry->m_strType;
    return true;
}

const CFieldDesc* CDescTable::LookupDesc(std::string_view key) const
{
    const auto it = m_mapDesc.find(key);
    return it == m_mapDesc.end() ? nullptr : &it->second;
}

int CDescTable::TypeCodeFromName(std::string_view typeName)
{
    for (int code = 1; code < kDataTypeCount; ++code) {
        if (EqualsIgnoringAsciiCase(typeName, kDataTypeNames[static_cast<std::size_t>(code)]))
            return code;
    }
    return DT_NULL;
}

} // namespace qm
