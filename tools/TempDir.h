#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::tools {

// A fresh folder under the temporary folder ($TMPDIR, else /tmp), removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

// Plain writes (no flush to disk): fixtures and fuzz inputs are written by
// the thousand. Each throws std::runtime_error when it cannot do its work.
void WriteFileBytes(const std::string& path, const void* data, std::size_t size);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteFileText(const std::string& path, std::string_view text);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
std::string ReadFileText(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

} // namespace qm::tools
