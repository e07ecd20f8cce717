#pragma once

#include "platform/CInterruptCleanup.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace qm::platform {

// Writes the new contents of a file without harming the old one, its
// owner, its permissions or its other names.
//
//   CFileReplacer file;
//   if (!file.Begin(path) || !file.Write(data, size) || !file.Commit())
//       report(file.GetError());
//
// A symbolic link is written through: the file it names is the one
// written, and is created when it is missing. Anything else that is not a
// regular file (a folder, a device, a FIFO, a socket) is refused, and so is
// a file the user may not write, as the shell would refuse `echo > file`.
//
// A file with one name is replaced whole: the bytes go to a temporary file
// beside it (".NAME.XXXXXX"), are flushed to disk, get the old file's
// owner, group and permission bits, and only then is the temporary renamed
// over the old file. Whatever happens meanwhile, the file holds its old
// contents or the complete new ones.
//
// A file with several names (hard links), or one whose owner or group this
// user cannot give to a new file, must keep its identity, so it is written
// in place: first a complete backup copy goes beside it ("NAME.backup-
// XXXXXX") and is flushed to disk, then the file is overwritten and cut to
// its new length, then the copy is removed. Should the writing fail, the
// old bytes are put back from the copy; at every moment either the file
// holds its old bytes or the complete copy is on disk.
//
// With CInterruptCleanup installed, an interrupt removes a half-written
// temporary file or backup copy, and waits while the file itself is being
// overwritten.
class CFileReplacer {
public:
    CFileReplacer() = default;
    // A replacement that was begun but not committed is undone.
    ~CFileReplacer();
    CFileReplacer(const CFileReplacer&) = delete;
    CFileReplacer& operator=(const CFileReplacer&) = delete;

    bool Begin(const std::string& path);
    // Appends to the new contents.
    bool Write(const void* data, std::size_t size);
    // The new contents take the old ones' place, durably.
    bool Commit();

    // Why the last step failed: the file or folder and the reason.
    const std::string& GetError() const { return m_strError; }
    // After a successful Commit, something the user should hear about
    // (set-user-ID or set-group-ID bits that could not be kept); usually empty.
    const std::string& GetNotice() const { return m_strNotice; }

private:
    enum class Strategy { None, NewFile, Replace, InPlace };

    bool Fail(std::string text);
    // A new file beside the target, named before + its name + after.
    bool CreateSideFile(const char* before, const char* after, const char* what);
    bool StartNewFile();
    bool StartReplace();
    bool StartInPlace();
    bool MakeBackup();
    bool CommitByRename(mode_t mode);
    bool CommitInPlace();
    // Says so when the file could not keep its set-user-ID or set-group-ID bit.
    void NoticeLostIdBits(int fd, mode_t wanted);
    // Puts the backup's bytes back into the target; true when it is whole again.
    bool RestoreFromBackup();
    void Abandon();

    Strategy m_strategy = Strategy::None;
    std::string m_target;
    std::string m_folder;
    std::string m_tempPath;    // the new contents (NewFile, Replace) or the backup (InPlace)
    int m_tempFd = -1;
    int m_targetFd = -1;       // InPlace only
    struct stat m_old {};      // the target as it was, when it existed
    std::uint64_t m_nWritten = 0;
    CInterruptCleanup m_interrupts;
    std::string m_strError;
    std::string m_strNotice;
};

} // namespace qm::platform
