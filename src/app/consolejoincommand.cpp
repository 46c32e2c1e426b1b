#include "app/consolejoincommand.h"
#include "app/commandoptions.h"
#include "app/versiontext.h"

#include "join/joinfile.h"

namespace darvolt {

namespace {

enum Option { Check, Output, Force, TrustRecovery, Quiet, Help, Version };

constexpr CommandOption Options[] = {
    {"check", 'c', false, Check}, {"output", 'o', true, Output}, {"force", 'f', false, Force},
    {"trust-recovery", 0, false, TrustRecovery},
    {"quiet", 'q', false, Quiet}, {"help", 'h', false, Help},    {"version", 0, false, Version},
};

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
    const CommandLine line = ReadCommandLine(args, Options);
    JoinCommand command;
    bool outputGiven = false;
    for (const GivenOption& option : line.options) {
        switch (option.id) {
        case Help: command.action = JoinCommand::Action::Help; return command;
        case Version: command.action = JoinCommand::Action::Version; return command;
        case Check: command.check = true; break;
        case Force: command.force = true; break;
        case TrustRecovery: command.trustRecovery = true; break;
        case Quiet: command.quiet = true; break;
        case Output:
            if (option.value.empty())
                return usageError("--output needs a file name");
            command.output = option.value;
            outputGiven = true;
            break;
        default: break;
        }
    }
    if (!line.problem.empty())
        return usageError(line.problem);
    if (command.check && (outputGiven || command.force))
        return usageError("--check writes nothing: --output and --force do not go with it");
    if (line.operands.empty())
        return usageError("name a part, the folder of the parts or the checksum file");
    if (line.operands.size() > 1)
        return usageError("one set of parts at a time");
    command.input = line.operands.front();
    return command;
}

std::string JoinCommandUsage()
{
    return R"(Usage: darvolt-join [OPTION]... PART | FOLDER | CHECKSUM-FILE
Joins the parts that darvolt or darvolt-split made (report.doc.!00,
report.doc.!01, ...) back into the file they were split from, checking each
part against the checksum file on the way. Name any one of the parts, quoted
('report.doc.!00'), the folder that holds them, or their checksum file
(report.doc.sha256). Missing or damaged parts are rebuilt first where
recovery data (report.doc.par2) lie beside them. Sets of GNU split (xaa,
x00), .001 volumes (7-Zip) and .001 + .crc sets join too, from any part.

  -c, --check           check the parts only: one line per part and a summary;
                        nothing is written
  -o, --output=FILE     write the joined file as FILE (default: the original
                        name, in the folder of the parts; needed when the
                        set does not tell it)
  -f, --force           replace FILE if it exists
      --trust-recovery  rebuild parts from the recovery data even where only
                        a CRC32 (a .crc file) would check them
  -q, --quiet           show no progress, and tell only what went wrong
  -h, --help            show this text
      --version         show the version and the licence

The joined file takes its name only when it is complete and checked.
Exit status: 0 done, 1 error, 2 wrong command line, 3 --check found damage the
recovery data can rebuild, 4 the parts failed the check and cannot be rebuilt,
130 or 143 interrupted. More: man darvolt-join
)";
}

int RunJoinCommand(const JoinCommand& command, Platform& platform, JoinView& view, std::ostream& out,
                   std::ostream& err, const CommandContext& context)
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
        return ReportUsage("darvolt-join", command.problem, err);
    case JoinCommand::Action::Join: {
        JoinOptions options;
        options.output = command.output;
        options.replace = command.force;
        options.checkOnly = command.check;
        options.trustRecovery = command.trustRecovery;
        options.stop = context.stop;
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
    return FinishCommand("darvolt-join", status, out, err);
}

} // namespace darvolt
