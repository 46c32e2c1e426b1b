// darvolt-split: the split engine on the command line.

#include "app/consolesplitcommand.h"
#include "app/consolesplitview.h"
#include "platform/interruptsignals.h"
#include "platform/posixplatform.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const darvolt::SplitCommand command = darvolt::ParseSplitCommand(args);
    darvolt::PosixPlatform platform;
    darvolt::InterruptSignals signals;
    int status = 0;
    {
        darvolt::ConsoleSplitView view(std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1,
                                       [&] { return signals.readLine(STDIN_FILENO); });
        status = darvolt::RunSplitCommand(command, platform, view, std::cout, std::cerr, signals.stopFlag());
    }
    if (status == darvolt::ExitInterrupted)
        status = darvolt::InterruptSignals::exitStatus();
    return status;
}
