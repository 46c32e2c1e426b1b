#include "app/consolesplitcommand.h"
#include "app/commandoptions.h"
#include "app/partsizeoption.h"
#include "app/versiontext.h"

#include "parts/checksumfile.h"
#include "split/sourcemeasure.h"
#include "split/splitfile.h"
#include "split/splittexts.h"

#include <charconv>
#include <exception>
#include <optional>
#include <set>

namespace darvolt {

namespace {

// The part-size options first: one of them at most.
enum Option { Standard, Custom, Bytes, Number, Span, Directory, Flush, NoChecksum, Recovery, Quiet, Help, Version };

constexpr CommandOption Options[] = {
    {"standard", 's', false, Standard},  {"custom", 'c', true, Custom},     {"bytes", 'b', true, Bytes},
    {"number", 'n', true, Number},       {"span", 0, false, Span},          {"directory", 'd', true, Directory},
    {"flush", 0, false, Flush},          {"no-checksum", 0, false, NoChecksum},
    {"recovery", 'r', true, Recovery},   {"quiet", 'q', false, Quiet},      {"help", 'h', false, Help},
    {"version", 0, false, Version},
};

SplitCommand usageError(std::string problem)
{
    SplitCommand command;
    command.action = SplitCommand::Action::UsageError;
    command.problem = std::move(problem);
    return command;
}

// A whole number of decimal digits and nothing else.
std::optional<std::int64_t> wholeNumber(std::string_view text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || text[0] == '-')
        return std::nullopt;
    return value;
}

// Takes one option's value into the command; the problem with it, if any.
std::string take(SplitCommand& command, const GivenOption& option)
{
    const std::string& value = option.value;
    switch (option.id) {
    case Standard: command.mode = SizeMode::StandardDiskette; command.partSize = StandardPartSize; break;
    case Span: command.mode = SizeMode::SpanDiskettes; command.partSize = 0; break;
    case Custom:
        if (const auto kb = ParseCustomSize(value)) {
            command.mode = SizeMode::CustomSize;
            command.partSize = *kb * 1024;
            command.wholeFileFits = false;
            break;
        }
        return "--custom takes a whole number of KB above 0, in decimal or as $ and hexadecimal digits, not '"
               + value + "'";
    case Bytes:
        if (const auto bytes = ParseByteSize(value)) {
            command.mode = SizeMode::CustomSize;
            command.partSize = *bytes;
            command.wholeFileFits = true;
            break;
        }
        return "--bytes takes a size in bytes, such as 700K, 25M or 4G (K, M, G: 1024, 1024^2, 1024^3; KB, MB, "
               "GB: 1000, ...), not '" + value + "'";
    case Number:
        if (const auto count = wholeNumber(value); count && *count >= 2 && *count <= MaxSplitParts) {
            command.mode = SizeMode::CustomSize;
            command.partCount = *count;
            command.wholeFileFits = true;
            break;
        }
        return "--number takes a whole number of parts from 2 to " + std::to_string(MaxSplitParts) + ", not '"
               + value + "'";
    case Directory:
        if (value.empty())
            return "--directory needs a folder";
        // getopt hands -d the next argument whatever it is, so "-d -b 1M f"
        // would make a folder named -b; GNU split's -d, which asks for
        // numbered suffixes, takes no value, and that is what such a line
        // meant.
        if (value.starts_with('-'))
            return "--directory (-d) takes a folder, not '" + value
                   + "'; Darvolt numbers its parts always (FILE.!00, FILE.!01, ...), so GNU split's -d is not "
                     "needed. A folder whose name begins with '-' is written ./" + value;
        command.directory = value;
        break;
    case Flush: command.flush = true; break;
    case NoChecksum: command.checksums = false; break;
    case Quiet: command.quiet = true; break;
    case Recovery: {
        const auto percent = value.size() <= 3 ? wholeNumber(value) : std::nullopt;
        if (!percent || *percent < 1 || *percent > 100)
            return "--recovery takes a whole percentage from 1 to 100, not '" + value + "'";
        command.recoveryPercent = static_cast<int>(*percent);
        break;
    }
    default: break;
    }
    return {};
}

} // namespace

SplitCommand ParseSplitCommand(const std::vector<std::string>& args)
{
    const CommandLine line = ReadCommandLine(args, Options);
    SplitCommand command;
    std::set<int> sizes; // the size options given; the last of a repeated one counts
    // In the order given, as GNU tools do: --help before a wrong option still helps.
    for (const GivenOption& option : line.options) {
        if (option.id == Help || option.id == Version) {
            command.action = option.id == Help ? SplitCommand::Action::Help : SplitCommand::Action::Version;
            return command;
        }
        if (const std::string problem = take(command, option); !problem.empty())
            return usageError(problem);
        if (option.id <= Span)
            sizes.insert(option.id);
    }
    if (!line.problem.empty())
        return usageError(line.problem);
    if (sizes.size() > 1)
        return usageError("choose one of --standard, --custom, --bytes, --number and --span");
    if (command.recoveryPercent > 0 && command.mode == SizeMode::SpanDiskettes)
        return usageError("--recovery works in folder mode only: spanned media get no recovery data");
    if (!command.directory.empty() && command.mode == SizeMode::SpanDiskettes)
        return usageError("--directory works in folder mode only: spanned parts go onto the media");
    if (line.operands.empty())
        return usageError("no file named");
    if (line.operands.size() > 1)
        return usageError("one file at a time");
    command.file = line.operands.front();
    return command;
}

std::string SplitCommandUsage()
{
    return R"(Usage: darvolt-split [OPTION]... FILE
Splits FILE into numbered parts (FILE.!00, FILE.!01, ...) in a folder beside it
(/data/report.doc gives /data/REPORT_PARTS), with MERGE.BAT and merge.sh, which
join them on Windows and on Linux, and FILE.sha256, their checksums. FILE itself
is only read.

Part size, one of:
  -s, --standard        1457664 bytes, what a 1.44 MB diskette holds (default)
  -c, --custom=KB       KB kilobytes of 1024 bytes ($ and hexadecimal digits too)
  -b, --bytes=SIZE      SIZE bytes; K, M, G are 1024, 1024^2, 1024^3 (also KiB,
                        MiB, GiB), KB, MB, GB are 1000, 1000^2, 1000^3
  -n, --number=N        N parts of nearly equal size (fewer for a tiny file)
      --span            one part per removable medium, as large as its free space

  -d, --directory=DIR   put the parts and the rest in DIR (made when missing)
  -r, --recovery=PERCENT  write recovery data (PAR2), at least PERCENT of FILE
      --no-checksum     write no checksums
      --flush           wait until the parts are on the disk, also on a fixed disk
  -q, --quiet           show no progress and no closing line
  -h, --help            show this text
      --version         show the version and the licence

Rejoin in the folder of the parts with darvolt-join 'FILE.!00' or sh merge.sh,
on Windows with MERGE.BAT. Exit status: 0 split, 1 failed, 2 wrong command line,
3 a medium prompt cancelled, 130 or 143 interrupted. More: man darvolt-split
)";
}

namespace {

// Why the file cannot be split, as the system says it.
std::string unreadableReason(const std::string& file, const SourceMeasure& measure)
{
    if ((measure.attributes & attribute::Directory) != 0)
        return "cannot split '" + file + "': it is a folder";
    if ((measure.attributes & attribute::Device) != 0)
        return "cannot split '" + file + "': it is not a regular file";
    return "cannot open '" + file + "': " + SystemErrorText(measure.openError);
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

// The part size the command asks for, or why there is none.
std::optional<std::int64_t> partSizeFor(const SplitCommand& command, const SourceMeasure& measure, std::ostream& err)
{
    if (command.partCount == 0)
        return command.mode == SizeMode::SpanDiskettes ? 0 : command.partSize;
    const std::string count = std::to_string(command.partCount);
    if (!measure.sizeKnown) {
        err << "darvolt-split: cannot cut '" << command.file << "' into " << count
            << " parts: its size cannot be read\n";
        return std::nullopt;
    }
    // GNU split fills the parts it cannot give data with nothing; Darvolt's
    // parts each hold some of the file, so a small file gets the most parts
    // up to the count that can, and a file of a byte or none gets one.
    for (std::int64_t parts = command.partCount; parts >= 2; --parts) {
        const auto size = PartSizeForCount(measure.sourceSize, parts);
        if (!size)
            continue;
        if (parts < command.partCount)
            err << "darvolt-split: '" << command.file << "' has " << measure.sourceSize << " bytes, too few for "
                << count << " parts that each hold some of it; it is cut into " << parts << '\n';
        return size;
    }
    err << "darvolt-split: '" << command.file << "' has " << measure.sourceSize << " bytes, too few for " << count
        << " parts that each hold some of it; it makes one part\n";
    return measure.sourceSize;
}

int runSplit(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& err,
             const CommandContext& context)
{
    // The window keeps Split disabled for a file it cannot measure; here
    // that ends the run with the reason.
    const SourceMeasure measure = MeasureSource(platform, command.file);
    if (!measure.splittable) {
        err << "darvolt-split: " << unreadableReason(command.file, measure) << '\n';
        return ExitFailed;
    }
    const auto partSize = partSizeFor(command, measure, err);
    if (!partSize)
        return ExitFailed;
    RequestResult built;
    if (command.wholeFileFits)
        built.request = SplitRequestUpTo(command.file, *partSize, measure.sizeKnown ? measure.sourceSize : -1);
    else
        built = BuildSplitRequestOfSize(command.file, *partSize, measure.sourceSize, view);
    if (built.status != RequestStatus::Ready)
        return ExitFailed;

    built.request.outputFolder = command.directory;
    SplitOptions options;
    options.openFileManager = false;
    options.alwaysFlush = command.flush;
    options.checksums = command.checksums;
    options.recoveryPercent = command.recoveryPercent;
    options.stop = context.stop;
    const SplitResult result = SplitFile(platform, view, built.request, options);
    const int status = splitExitStatus(result.outcome);
    // Spanning ends with its own closing message.
    if (status == ExitSuccess && context.outIsTerminal && !command.quiet && built.request.partSize > 0)
        view.showInformation("Split " + built.request.sourceName + " into " + std::to_string(result.parts)
                             + (result.parts == 1 ? " part in " : " parts in ") + result.output);
    return status;
}

} // namespace

int RunSplitCommand(const SplitCommand& command, Platform& platform, SplitView& view, std::ostream& out,
                    std::ostream& err, const CommandContext& context)
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
        return ReportUsage("darvolt-split", command.problem, err);
    case SplitCommand::Action::Split:
        // What the engine cannot hand over as a failure of its own (memory
        // running out in a digest or the recovery arithmetic, on whichever
        // thread) reaches here: the run failed, and says why, rather than
        // ending the program as a crash would.
        try {
            status = runSplit(command, platform, view, err, context);
        } catch (const std::exception& e) {
            err << "darvolt-split: the split failed: " << e.what() << '\n';
            status = ExitFailed;
        }
        break;
    }
    return FinishCommand("darvolt-split", status, out, err);
}

} // namespace darvolt
