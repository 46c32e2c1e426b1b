#include "split/splittexts.h"

#include "split/partnaming.h"

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

std::string fileManagerFailed(std::string_view outputFolder)
{
    return "Split finished, but no file manager could be opened. The parts are in " + std::string(outputFolder);
}

std::string recoveryFailed(std::string_view why)
{
    return "No recovery data were written: par2 failed (" + std::string(why) + "). The file is split all the same.";
}

std::string recoveryTooManyParts(std::int64_t parts)
{
    return "No recovery data were written: they can cover at most 32768 parts, and this split makes "
           + std::to_string(parts) + ". Choose larger parts for recovery data. The file is split all the same.";
}

} // namespace darvolt::texts
