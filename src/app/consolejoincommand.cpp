#include "app/consolejoincommand.h"
#include "app/versiontext.h"

#include "join/joinfile.h"

namespace darvolt {

namespace {

JoinCommand usageError(std::string problem)
{
    JoinCommand command;
    command.action = JoinCommand::Action::UsageError;
    command.problem = std::move(problem);
    return command;
}

} // namespace

JoinCommand ParseJoinCommand(const std::vector<std::string>& args)
{
    JoinCommand command;
    std::vector<std::string> inputs;
    bool optionsEnded = false;
    bool outputGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--version") {
            command.action = JoinCommand::Action::Version;
            return command;
        } else if (arg == "--help" || arg == "-h") {
            command.action = JoinCommand::Action::Help;
            return command;
        } else if (arg == "--check" || arg == "-c") {
            command.check = true;
        } else if (arg == "--force" || arg == "-f") {
            command.force = true;
        } else if (arg == "--output" || arg == "-o" || arg.starts_with("--output=")) {
            if (arg.starts_with("--output=")) {
                command.output = arg.substr(9);
            } else {
                if (i + 1 == args.size())
                    return usageError(arg + " needs a file name");
                command.output = args[++i];
            }
            if (command.output.empty())
                return usageError("--output needs a file name");
            outputGiven = true;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (command.check && (outputGiven || command.force))
        return usageError("--check writes nothing: --output and --force do not go with it");
    if (inputs.empty())
        return usageError("name a part, the folder of the parts or the checksum file");
    if (inputs.size() > 1)
        return usageError("one set of parts at a time");
    command.input = inputs.front();
    return command;
}

std::string JoinCommandUsage()
{
    return R"(Usage: darvolt-join [--check] [--output FILE] [--force] PART | FOLDER | CHECKSUM-FILE

Joins the parts that darvolt or darvolt-split made (report.doc.!00,
report.doc.!01, ...) back into the file they were split from. Name any one of
the parts, the folder that holds them, or their checksum file (report.doc.sha256).

  --check        read the parts and check them against the checksum file, one
                 line per part and a summary; nothing is written
  --output FILE  write the joined file as FILE (default: the original name, in
                 the folder of the parts)
  --force        replace FILE if it exists
  --help         show this text
  --version      show the version and the licence

With a checksum file, every part is checked as it is copied: the first part that
does not match stops the join and is named with the checksum it should have and
the one it has; a missing part, a part that is not listed and a part of the
wrong size are named too. Without a checksum file the parts are joined in the
order of their numbers and a warning says that nothing could be checked. A gap
in the numbering is always an error.

With recovery data beside the parts (report.doc.par2 and its volume files, from
darvolt-split --recovery or the window's Write recovery data, or any PAR2 set
made over the parts with par2 create), a part that is missing or fails its check
is rebuilt first with par2 (par2cmdline, apt-get install par2), the parts that
were rebuilt are named, and the join starts again (a damaged part is kept beside
its rebuilt one as NAME.1). Without a checksum file, par2 checks the parts
before the join. --check tells whether the recovery data can rebuild what it
found missing or damaged.

The joined file is written under a temporary name beside it (FILE.joining) and
takes its name only when it is complete, so an interrupted join (Ctrl-C,
SIGTERM) never leaves a file that looks whole. An existing file is never
replaced without --force.

Exit status: 0 done (after rebuilding parts, if it had to), 1 error (nothing
found, reading or writing failed, the file exists, par2 failed), 2 usage error,
3 --check found parts missing or damaged that the recovery data can rebuild,
4 the parts failed the check and cannot be rebuilt (or --check had nothing to
check them against), 130 interrupted by Ctrl-C, 143 by SIGTERM.
)";
}

int RunJoinCommand(const JoinCommand& command, Platform& platform, JoinView& view, std::ostream& out,
                   std::ostream& err, const std::atomic<bool>* stop)
{
    int status = JoinExitFailed;
    switch (command.action) {
    case JoinCommand::Action::Help:
        out << JoinCommandUsage();
        status = JoinExitSuccess;
        break;
    case JoinCommand::Action::Version:
        out << VersionText("darvolt-join");
        status = JoinExitSuccess;
        break;
    case JoinCommand::Action::UsageError:
        err << "darvolt-join: " << command.problem << "\nTry 'darvolt-join --help' for more information.\n";
        return JoinExitUsage;
    case JoinCommand::Action::Join: {
        JoinOptions options;
        options.output = command.output;
        options.replace = command.force;
        options.checkOnly = command.check;
        options.stop = stop;
        switch (JoinParts(platform, view, command.input, options).outcome) {
        case JoinOutcome::Joined:
        case JoinOutcome::Checked: status = JoinExitSuccess; break;
        case JoinOutcome::CheckFailed: status = JoinExitCheckFailed; break;
        case JoinOutcome::Repairable: status = JoinExitRepairable; break;
        case JoinOutcome::Interrupted: status = JoinExitInterrupted; break;
        case JoinOutcome::Failed:
        case JoinOutcome::Busy: status = JoinExitFailed; break;
        case JoinOutcome::OutputNeeded: // the view has said that --output is needed
            err << "Try 'darvolt-join --help' for more information.\n";
            status = JoinExitUsage;
            break;
        }
        break;
    }
    }
    out.flush();
    err.flush();
    if (status == JoinExitSuccess && (out.fail() || err.fail())) {
        err.clear();
        err << "darvolt-join: " << (out.fail() ? "standard output" : "standard error") << " could not be written\n"
            << std::flush;
        status = JoinExitFailed;
    }
    return status;
}

} // namespace darvolt
