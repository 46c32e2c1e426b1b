// darvolt-split: the split engine on the command line.

#include "app/consolesplitcommand.h"
#include "app/consolesplitview.h"
#include "app/failurewatch.h"
#include "platform/interruptsignals.h"
#include "platform/posixplatform.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const darvolt::SplitCommand command = darvolt::ParseSplitCommand(args);
    darvolt::PosixPlatform system;
    darvolt::FailureWatch platform(system);
    darvolt::InterruptSignals signals;
    int status = 0;
    {
        const bool progress = ::isatty(STDERR_FILENO) == 1 && !command.quiet;
        darvolt::ConsoleSplitView view(std::cin, std::cout, std::cerr, progress,
                                       [&] { return signals.readLine(STDIN_FILENO); }, &platform);
        status = darvolt::RunSplitCommand(command, platform, view, std::cout, std::cerr,
                                          {signals.stopFlag(), ::isatty(STDOUT_FILENO) == 1});
    }
    if (status == darvolt::ExitInterrupted)
        status = darvolt::InterruptSignals::exitStatus();
    return status;
}
