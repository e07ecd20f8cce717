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

// Reads a whole regular file into out.
bool ReadWholeFile(const std::string& path, std::string& out, std::string& errorText);

// Replaces (or creates) path with exactly these bytes so that, whatever
// happens meanwhile (a full disk, a size limit, the process being killed, a
// power cut), path afterwards holds either its old contents or the new ones:
// the bytes go to a temporary file in the same folder, are flushed to disk,
// and only then is the temporary renamed over path. A symbolic link is
// followed, so the file it points to is the one replaced; an existing file's
// permission bits are kept.
bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string& errorText);

} // namespace qm::platform
