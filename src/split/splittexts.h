#pragma once
// The engine's messages, word for word as the user sees them, blanks included.

#include "platform/errorcode.h"
#include "platform/platform.h"

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
inline constexpr std::string_view SourceChanged =
    "    The file changed while it was being split. Split execution failed.    ";
inline constexpr std::string_view Interrupted = "    Split execution interrupted.    ";

// The recovery data (recoverydata.h): the status text while par2 works, and
// why a split ended without them.
inline constexpr std::string_view WritingRecoveryData = "Writing recovery data";
inline constexpr std::string_view RecoveryNameUnsupported =
    "No recovery data were written: par2 cannot work with file names that hold *, ?, \\ or a line break. "
    "Rename the file without them to have recovery data. The file is split all the same.";
std::string recoveryFailed(std::string_view why);
std::string recoveryTooManyParts(std::int64_t parts);

// Paths and names in messages are upper-cased (ASCII letters only) where the
// file system ignores case, as the names were always shown; elsewhere an
// upper-cased path would name a file that does not exist, so they stay as
// they are.
std::string shown(std::string_view path, bool ignoresCase);

std::string sourceNotFound(std::string_view sourcePath, bool ignoresCase); // "File X not found"
std::string cannotOpenOutput(std::string_view partName, bool ignoresCase);
// A file the run would write (a part, the script) is the source itself.
std::string wouldOverwriteSource(std::string_view path, bool ignoresCase);
std::string writing(std::string_view barePartName);       // the status text
std::string diskettePrompt(std::int64_t disketteNumber);
std::string spanned(std::string_view sourceName, bool ignoresCase); // closing information
std::string scriptFailed(std::string_view scriptPath);    // path as built
// The run wrote MERGE.BAT, but the Windows command interpreter cannot join
// the parts with it: the name is none a Windows file can have, or one that
// none of the code pages MERGE.BAT can switch to holds.
std::string mergeScriptNameNotOnWindows(std::string_view sourceName);
std::string mergeScriptNameUnreadable(std::string_view sourceName);
// The run is over but no file manager could be started on its folder.
std::string fileManagerFailed(std::string_view outputFolder);

// Removable media. A medium is named by its label, else its folder, else
// its device.
std::string mediumName(const RemovableMedium& medium);
// A byte count as a desktop shows a medium's size: "1.4 MB", "14.9 GB".
std::string mediumSize(std::int64_t bytes);
std::string chooseMedium(std::int64_t disketteNumber); // above the list of media
std::string mediumRemovable(std::string_view name);    // after it was unmounted
std::string mediumBusy(std::string_view name, std::string_view reason);
// Files the run would write that it must not: a source named like one of
// the scripts (MERGE.BAT's copy would overwrite the running script, and cmd
// would run the joined bytes as commands), a name too long for the output's
// file system, a parts folder that is a link, a name that someone else
// filled while the run was replacing it.
std::string sourceNamedLikeScript(std::string_view sourceName);
std::string nameTooLong(std::string_view name, std::string_view folder, std::int64_t longest);
std::string outputFolderIsLink(std::string_view folder);
std::string nameTakenMeanwhile(std::string_view path);
// Folder mode: a part size above the largest file of the output's file system.
std::string partTooLargeForFileSystem(std::int64_t largestFile);
// Folder mode: more parts than a set can hold and still be joined.
std::string tooManyParts(std::int64_t parts, std::int64_t most);

} // namespace darvolt::texts
