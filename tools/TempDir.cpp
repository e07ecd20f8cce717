#include "tools/TempDir.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace qm::tools {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void WriteFileBytes(const std::string& path, const void* data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    WriteFileBytes(path, bytes.data(), bytes.size());
}

void WriteFileText(const std::string& path, std::string_view text)
{
    WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string ReadFileText(const std::string& path)
{
    std::string text;
    std::string error;
    if (!platform::ReadWholeFile(path, text, error))
        throw std::runtime_error(error);
    return text;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    const std::string text = ReadFileText(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace qm::tools
