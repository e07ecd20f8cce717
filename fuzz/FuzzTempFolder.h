#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::fuzz {

// A private folder for the files a target writes, made on first use and
// removed with everything in it when the process ends normally. It lies
// under $TMPDIR (or /tmp): pointing TMPDIR at a RAM disk keeps the disk
// flushes of every save from setting the pace.
class FuzzTempFolder {
public:
    FuzzTempFolder();
    ~FuzzTempFolder();
    FuzzTempFolder(const FuzzTempFolder&) = delete;
    FuzzTempFolder& operator=(const FuzzTempFolder&) = delete;

    std::string File(std::string_view name) const { return m_path + "/" + std::string(name); }

private:
    std::string m_path;
};

// Writes bytes to path, replacing what was there; aborts when it cannot,
// since every later check would be about the wrong file.
void WriteBytes(const std::string& path, const void* data, std::size_t size);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

} // namespace qm::fuzz
