#include "cli/CMobTool.h"
#include "platform/CInterruptCleanup.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    // Under a file-size limit a write past it should fail with an error we
    // can report, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // Ctrl-C or a kill during a save leaves no temporary file behind.
    qm::platform::CInterruptCleanup::Install();
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    qm::CMobTool tool(std::cout, std::cerr);
    const int status = tool.Run(args);
    std::cout.flush();
    // The system takes the memory back at once when the process ends;
    // taking a million records apart first would only keep the user waiting.
    std::_Exit(std::cout ? status : qm::CMobTool::kExitFailed);
}
