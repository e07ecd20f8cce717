#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace qm::test {

// Makes a FIFO at path whose writer, a child process, opens it only after a
// while and writes text, as a slow program's output would. Wait for the
// returned process when done.
pid_t MakeLateFifo(const std::string& path, std::string_view text);

} // namespace qm::test
