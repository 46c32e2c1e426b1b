#include "split/splittexts.h"

#include "split/partnaming.h"

namespace darvolt::texts {

std::string sourceNotFound(std::string_view sourcePath)
{
    return "File " + UpperCaseAscii(sourcePath) + " not found";
}

std::string cannotOpenOutput(std::string_view partName)
{
    return "Cannot open output file " + UpperCaseAscii(partName) + ". Split execution failed.";
}

std::string partNotCreated(ErrorCode code, std::string_view partName)
{
    if (code == error::WriteProtected)
        return std::string(WriteProtected);
    if (code == error::NotReady)
        return std::string(NotReady);
    return cannotOpenOutput(partName);
}

std::string writing(std::string_view barePartName)
{
    return "Writing: " + std::string(barePartName);
}

std::string diskettePrompt(std::int64_t disketteNumber)
{
    return "       Insert diskette number " + std::to_string(disketteNumber) + " into the drive        ";
}

std::string spanned(std::string_view sourceName)
{
    return "File " + UpperCaseAscii(sourceName) + " spanned. MERGE.BAT placed on the last diskette";
}

std::string scriptFailed(std::string_view scriptPath)
{
    return "Error writing file " + std::string(scriptPath);
}

} // namespace darvolt::texts
