// darvolt-join: the join engine on the command line.

#include "app/consolejoincommand.h"
#include "app/consolejoinview.h"
#include "app/failurewatch.h"
#include "platform/interruptsignals.h"
#include "platform/posixplatform.h"

#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const darvolt::JoinCommand command = darvolt::ParseJoinCommand(args);
    darvolt::PosixPlatform system;
    darvolt::FailureWatch platform(system);
    darvolt::InterruptSignals signals;
    int status = 0;
    {
        darvolt::ConsoleJoinView view(std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, command.quiet, &platform);
        status = darvolt::RunJoinCommand(command, platform, view, std::cout, std::cerr,
                                         {signals.stopFlag(), ::isatty(STDOUT_FILENO) == 1});
    }
    if (status == darvolt::JoinExitInterrupted)
        status = darvolt::InterruptSignals::exitStatus();
    return status;
}
