#pragma once
// The engine's messages, word for word as the user sees them, blanks included.

#include "platform/errorcode.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace darvolt::texts {

inline constexpr std::string_view SizeTooLarge =
    "The size selected for partial files MUST be smaller than the source file.";
inline constexpr std::string_view OutputFolderFailed =
    "The output directory cannot be created. Splitting file canceled";
inline constexpr std::string_view WriteProtected =
    "The disk is write-protected. Please disable the protection or insert other disk";
inline constexpr std::string_view NotReady =
    "Cannot access the disk. Please check if it is inserted properly";
inline constexpr std::string_view ReadFailed = "    Error reading file. Split execution failed.    ";
inline constexpr std::string_view WriteFailed = "    Error writing file. Split execution failed.    ";
inline constexpr std::string_view DisketteFull = "     Cannot write to diskette (it is full)     ";

std::string sourceNotFound(std::string_view sourcePath);  // "File X not found", upper-cased
std::string cannotOpenOutput(std::string_view partName);  // upper-cased part name
// Why a part could not be created: WriteProtected, NotReady or cannotOpenOutput.
std::string partNotCreated(ErrorCode code, std::string_view partName);
std::string writing(std::string_view barePartName);       // the status text
std::string diskettePrompt(std::int64_t disketteNumber);
std::string spanned(std::string_view sourceName);         // closing information, upper-cased
std::string scriptFailed(std::string_view scriptPath);    // path as built

} // namespace darvolt::texts
