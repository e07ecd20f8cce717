#pragma once

// Thin POSIX layer for the few file operations the core needs. Every failure
// comes back as a text naming the file and the system's reason; nothing here
// prints or throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm::platform {

// The system's text for an errno value ("No such file or directory").
std::string SystemErrorText(int error);

// A failure text for an operation on a file: "<path>: <system text>".
std::string FileErrorText(std::string_view path, int error);

// The working folder of the process, or empty text when it cannot be read.
std::string CurrentWorkingFolder();

// Reads a whole file into out, waiting for a FIFO's or a terminal's writer
// as any program reading its input does. More than maxBytes is refused
// with the reason, so an endless source (/dev/zero) cannot fill memory.
// spareCapacity bytes of room are reserved behind a regular file's bytes,
// for a reader that pads them.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& errorText,
                   std::uint64_t maxBytes = UINT64_MAX, std::size_t spareCapacity = 0);

// Replaces (or creates) path with exactly these bytes through CFileReplacer,
// which says what is kept and how.
bool WriteFileSafely(const std::string& path, const void* data, std::size_t size, std::string& errorText);

} // namespace qm::platform
