#include "support/LateFifo.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::test {

pid_t MakeLateFifo(const std::string& path, std::string_view text)
{
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo " + path);
    const pid_t writer = ::fork();
    if (writer == 0) {
        ::usleep(300000);
        const int fd = ::open(path.c_str(), O_WRONLY);
        const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    return writer;
}

} // namespace qm::test
