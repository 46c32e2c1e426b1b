#include "split/splittexts.h"

#include "parts/partnaming.h"

#include <algorithm>
#include <iterator>

namespace darvolt::texts {

std::string shown(std::string_view path, bool ignoresCase)
{
    return ignoresCase ? UpperCaseAscii(path) : std::string(path);
}

std::string sourceNotFound(std::string_view sourcePath, bool ignoresCase)
{
    return "File " + shown(sourcePath, ignoresCase) + " not found";
}

std::string cannotOpenOutput(std::string_view partName, bool ignoresCase)
{
    return "Cannot open output file " + shown(partName, ignoresCase) + ". Split execution failed.";
}

std::string wouldOverwriteSource(std::string_view path, bool ignoresCase)
{
    return "Output file " + shown(path, ignoresCase) + " is the file being split. Split execution failed.";
}

std::string sourceNamedLikeScript(std::string_view sourceName)
{
    return "The file " + std::string(sourceName)
           + " has the name of a script Darvolt writes beside the parts, and joining it again would replace "
             "that script while it runs. Rename the file, then split it. Splitting file canceled";
}

std::string nameTooLong(std::string_view name, std::string_view folder, std::int64_t longest)
{
    return "The name " + std::string(name) + " is longer than the " + std::to_string(longest)
           + " bytes the file system of " + std::string(folder)
           + " allows. Give the file a shorter name, then split it. Splitting file canceled";
}

std::string outputFolderIsLink(std::string_view folder)
{
    return "The output directory " + std::string(folder)
           + " is a symbolic link. Darvolt writes parts only into a real folder: remove or rename the link. "
             "Splitting file canceled";
}

std::string nameTakenMeanwhile(std::string_view path)
{
    return "Another program created " + std::string(path)
           + " while Darvolt was replacing it; nothing was written into it. Split execution failed.";
}

std::string writing(std::string_view barePartName)
{
    return "Writing: " + std::string(barePartName);
}

std::string diskettePrompt(std::int64_t disketteNumber)
{
    return "       Insert diskette number " + std::to_string(disketteNumber) + " into the drive        ";
}

std::string spanned(std::string_view sourceName, bool ignoresCase)
{
    return "File " + shown(sourceName, ignoresCase) + " spanned. MERGE.BAT placed on the last diskette";
}

std::string scriptFailed(std::string_view scriptPath)
{
    return "Error writing file " + std::string(scriptPath);
}

std::string mergeScriptNameNotOnWindows(std::string_view sourceName)
{
    return "MERGE.BAT cannot join the parts of " + std::string(sourceName)
           + ": Windows allows no file of that name. Join them with darvolt-join or merge.sh.";
}

std::string mergeScriptNameUnreadable(std::string_view sourceName)
{
    return "MERGE.BAT cannot join the parts of " + std::string(sourceName)
           + ": the Windows command interpreter cannot read every character of that name. Join them with "
             "darvolt-join or merge.sh.";
}

std::string fileManagerFailed(std::string_view outputFolder)
{
    return "Split finished, but no file manager could be opened. The parts are in " + std::string(outputFolder);
}

std::string mediumName(const RemovableMedium& medium)
{
    return !medium.label.empty() ? medium.label : !medium.folder.empty() ? medium.folder : medium.device;
}

std::string mediumSize(std::int64_t bytes)
{
    constexpr const char* units[] = {"bytes", "KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return std::to_string(std::max<std::int64_t>(bytes, 0)) + " bytes";
    std::size_t unit = 0;
    std::int64_t whole = bytes;
    std::int64_t scale = 1;
    while (whole >= 1024 && unit + 1 < std::size(units)) {
        whole /= 1024;
        scale *= 1024;
        ++unit;
    }
    // One decimal, rounded down, so that a medium never looks larger than it is.
    const std::int64_t tenths = (bytes % scale) * 10 / scale;
    return std::to_string(whole) + "." + std::to_string(tenths) + " " + units[unit];
}

std::string chooseMedium(std::int64_t disketteNumber)
{
    return "Several removable media are present. Choose the one for diskette number " + std::to_string(disketteNumber)
           + ":";
}

std::string mediumRemovable(std::string_view name)
{
    return "The medium " + std::string(name) + " can be removed now";
}

std::string mediumBusy(std::string_view name, std::string_view reason)
{
    return "The medium " + std::string(name) + " cannot be unmounted: " + std::string(reason)
           + ". Close the files and windows that use it and choose OK to try again, or Cancel to go on without "
             "unmounting it.";
}

std::string partTooLargeForFileSystem(std::int64_t largestFile)
{
    return "The size selected for partial files MUST be at most " + std::to_string(largestFile / 1024)
           + " KB: the file system of the output folder holds no file larger than " + std::to_string(largestFile)
           + " bytes. Splitting file canceled";
}

std::string tooManyParts(std::int64_t parts, std::int64_t most)
{
    return "This split would make " + std::to_string(parts) + " parts, and a set of more than "
           + std::to_string(most) + " parts cannot be joined again. Choose larger parts. Splitting file canceled";
}

std::string recoveryFailed(std::string_view why)
{
    return "No recovery data were written: " + std::string(why) + ". The file is split all the same.";
}

std::string recoveryTooManyParts(std::int64_t parts)
{
    return "No recovery data were written: they can cover at most 32768 parts, and this split makes "
           + std::to_string(parts) + ". Choose larger parts for recovery data. The file is split all the same.";
}

} // namespace darvolt::texts
