#include "app/consolesplitcommand.h"
#include "app/versiontext.h"

#include "split/sourcemeasure.h"
#include "split/splitfile.h"
#include "split/splittexts.h"

namespace darvolt {

namespace {

SplitCommand usageError(std::string problem)
{
    SplitCommand command;
    command.action = SplitCommand::Action::UsageError;
    command.problem = std::move(problem);
    return command;
}

} // namespace

SplitCommand ParseSplitCommand(const std::vector<std::string>& args)
{
    SplitCommand command;
    std::vector<std::string> files;
    int modes = 0;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            command.action = SplitCommand::Action::Help;
            return command;
        } else if (arg == "--version") {
            command.action = SplitCommand::Action::Version;
            return command;
        } else if (arg == "--flush") {
            command.flush = true;
        } else if (arg == "--no-checksum") {
            command.checksums = false;
        } else if (arg == "--recovery" || arg.starts_with("--recovery=")) {
            std::string percent;
            if (arg == "--recovery") {
                if (i + 1 == args.size())
                    return usageError("--recovery needs a percentage");
                percent = args[++i];
            } else {
                percent = arg.substr(11);
            }
            const bool digits = !percent.empty() && percent.size() <= 3
                                && percent.find_first_not_of("0123456789") == std::string::npos;
            command.recoveryPercent = digits ? std::stoi(percent) : 0;
            if (command.recoveryPercent < 1 || command.recoveryPercent > 100)
                return usageError("--recovery takes a whole percentage from 1 to 100, not '" + percent + "'");
        } else if (arg == "-d" || arg == "--directory" || arg.starts_with("--directory=")) {
            if (arg.starts_with("--directory="))
                command.directory = arg.substr(12);
            else if (i + 1 == args.size())
                return usageError(arg + " needs a folder");
            else
                command.directory = args[++i];
            if (command.directory.empty())
                return usageError(arg + " needs a folder");
        } else if (arg == "--standard") {
            command.mode = SizeMode::StandardDiskette;
            ++modes;
        } else if (arg == "--span") {
            command.mode = SizeMode::SpanDiskettes;
            ++modes;
        } else if (arg == "--custom" || arg.starts_with("--custom=")) {
            if (arg == "--custom") {
                if (i + 1 == args.size())
                    return usageError("--custom needs a size in KB");
                command.customSize = args[++i];
            } else {
                command.customSize = arg.substr(9);
            }
            command.mode = SizeMode::CustomSize;
            ++modes;
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (modes > 1)
        return usageError("choose one of --standard, --custom and --span");
    if (command.recoveryPercent > 0 && command.mode == SizeMode::SpanDiskettes)
        return usageError("--recovery works in folder mode only: spanned media get no recovery data");
    if (!command.directory.empty() && command.mode == SizeMode::SpanDiskettes)
        return usageError("--directory works in folder mode only: spanned parts go onto the media");
    if (files.empty())
        return usageError("no file named");
    if (files.size() > 1)
        return usageError("one file at a time");
    command.file = files.front();
    return command;
}

std::string SplitCommandUsage()
{
    return R"(Usage: darvolt-split [--standard | --custom KB | --span] [--flush] [--no-checksum]
                     [--recovery PERCENT] [-d DIR] FILE

Splits FILE into numbered parts (FILE.!00, FILE.!01, ...) and writes MERGE.BAT,
a batch file that joins them again with Copy /B on Windows. Beside it go
FILE.sha256, the SHA-256 checksums of every part and of FILE in the format of
sha256sum, and merge.sh, which joins the parts on Linux (sh merge.sh) and checks
them and the result. darvolt-join joins and checks them too. The file itself is
only read.

  --standard    parts of 1457664 bytes, what a 1.44 MB diskette holds (default)
  --custom KB   parts of KB kilobytes of 1024 bytes; KB is a whole number above
                0, in decimal or as "$" and hexadecimal digits ($10 is 16)
  --span        one part per diskette in drive A:, each as large as the free
                space on the medium in the drive; asks for every medium
  --flush       wait until the parts are on the disk before ending, also on a
                fixed disk (always done when spanning and for USB sticks and
                memory cards)
  --no-checksum leave out the checksums, for the last bit of speed: FILE.sha256
                is not written and merge.sh cannot check the parts
  --recovery PERCENT
                write recovery data beside the parts: FILE.par2 and its volume
                files, a PAR2 set made by par2 (par2cmdline, which must be
                installed: apt-get install par2), from which darvolt-join,
                merge.sh, par2 or MultiPar rebuild parts that are missing or
                damaged. PERCENT (1 to 100; 10 is a good start) is the least
                share of FILE it takes; it is rounded up to whole parts, since
                each recovery block is as large as a part and rebuilds any one
                of them. So it never rebuilds less than one part: with 10
                parts, 10% can fall short of a whole part and is rounded up
                to one. Not with --span. Without par2 the split still
                completes, with a message and exit status 1.
  -d, --directory DIR
                put the parts, the scripts, the checksum file and the recovery
                data in DIR (made when missing) instead of the folder beside FILE
  --help        show this text
  --version     show the version and the licence

Without --span the parts, MERGE.BAT, FILE.sha256 and merge.sh go into a folder
beside FILE named after it without its extension plus "_PARTS" (/data/report.doc
gives /data/REPORT_PARTS); what an earlier run of FILE left there is replaced,
other files stay. Drive A: is the removable medium (USB stick, memory card) that
is in when the prompt is answered; with several, a numbered list asks which. One
of the desktop's disk service is mounted if needed, and unmounted once its part
is on it. DARVOLT_DRIVE_A names a folder instead, which must have a medium
mounted. A part never exceeds the largest file of the medium's file system
(4 GiB - 1 on FAT): a larger medium takes several parts. The last medium keeps
room for MERGE.BAT, FILE.sha256 and merge.sh. At the diskette prompt Enter, "y"
or "yes" mean OK; "n", "no", "c", "cancel" or the end of input cancel.

FILE is split as it is when the run starts: if it changes while it is being
split (written to, truncated, grown), the run fails and writes no MERGE.BAT.
Ctrl-C (or SIGTERM) stops the run at the next block: the unfinished part is
deleted, the finished parts stay, and no MERGE.BAT is written.

Messages go to standard error, the closing message of a spanned run to standard
output. On a terminal, standard error also shows the part being written and the
progress.

Exit status: 0 success, 1 the run or its checks failed (or the recovery data
asked for, or a message, could not be written), 2 usage error, 3 cancelled at a
diskette prompt, 130 interrupted by Ctrl-C, 143 by SIGTERM.
)";
}

namespace {

// Why the file cannot be split, in words for the console.
std::string unreadableReason(const SourceMeasure& measure)
{
    if ((measure.attributes & attribute::Directory) != 0)
        return "is a folder, not a file";
    if ((measure.attributes & attribute::Device) != 0)
        return "is not a regular file";
    switch (measure.openError) {
    case error::AccessDenied: return "permission denied";
    case error::SharingViolation: return "file in use";
    case error::FileNotFound: return "no such file";
    default: return "cannot be read (error " + std::to_string(measure.openError) + ")";
    }
}

int splitExitStatus(SplitOutcome outcome)
{
    switch (outcome) {
    case SplitOutcome::Done: return ExitSuccess;
    case SplitOutcome::Cancelled: return ExitCancelled;
    case SplitOutcome::Interrupted: return ExitInterrupted;
    case SplitOutcome::ScriptFailed:
    case SplitOutcome::RecoveryFailed:
    case SplitOutcome::Failed:
    case SplitOutcome::Busy: break;
    }
    return ExitFailed;
}

int runSplit(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& err,
             const std::atomic<bool>* stop)
{
    // The window keeps Split disabled for a file it cannot measure; here
    // that ends the run with the reason.
    const SourceMeasure measure = MeasureSource(platform, command.file);
    if (measure.openError == error::FileNotFound || measure.openError == error::PathNotFound) {
        view.showError(texts::sourceNotFound(command.file, platform.ignoresCase(command.file)));
        return ExitFailed;
    }
    if (!measure.splittable) {
        err << "darvolt-split: " << command.file << ": " << unreadableReason(measure) << '\n';
        return ExitFailed;
    }

    const RequestResult request =
        BuildSplitRequest(command.file, command.mode, command.customSize, measure.sourceSize, view);
    if (request.status == RequestStatus::CustomSizeRejected) {
        err << "darvolt-split: --custom takes a whole number of KB above 0, in decimal or as $ and hexadecimal "
               "digits, not '"
            << command.customSize << "'\n";
        return ExitFailed;
    }
    if (request.status == RequestStatus::TooLarge)
        return ExitFailed;

    RequestResult built = request;
    built.request.outputFolder = command.directory;
    SplitOptions options;
    options.openFileManager = false;
    options.alwaysFlush = command.flush;
    options.checksums = command.checksums;
    options.recoveryPercent = command.recoveryPercent;
    options.stop = stop;
    return splitExitStatus(SplitFile(platform, view, built.request, options).outcome);
}

} // namespace

int RunSplitCommand(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& out,
                    std::ostream& err, const std::atomic<bool>* stop)
{
    int status = ExitFailed;
    switch (command.action) {
    case SplitCommand::Action::Help:
        out << SplitCommandUsage();
        status = ExitSuccess;
        break;
    case SplitCommand::Action::Version:
        out << VersionText("darvolt-split");
        status = ExitSuccess;
        break;
    case SplitCommand::Action::UsageError:
        err << "darvolt-split: " << command.problem << "\nTry 'darvolt-split --help' for more information.\n";
        return ExitUsage;
    case SplitCommand::Action::Split:
        status = runSplit(command, platform, view, err, stop);
        break;
    }
    // A closing message or progress line that never reached its reader
    // (a full disk, a closed pipe) must not pass as success.
    out.flush();
    err.flush();
    if (status == ExitSuccess && (out.fail() || err.fail())) {
        err.clear();
        err << "darvolt-split: " << (out.fail() ? "standard output" : "standard error")
            << " could not be written\n" << std::flush;
        status = ExitFailed;
    }
    return status;
}

} // namespace darvolt
