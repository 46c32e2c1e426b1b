#pragma once
// MERGE.BAT: the batch file beside the last part that joins the parts again
// with "Copy /B", asks whether to erase them and erases them on Y.
//
// Ten lines and one more for each part, each ended by CR LF, names bare
// (without a folder), as long as the copy line fits the command
// interpreter's limit of 8191 characters and the parts are numbered with two
// digits. Names made of ordinary characters give these lines byte for byte
// (each check line is one line, broken here):
//   ECHO OFF
//   if not exist "a.!00" (ECHO Part a.!00 is missing. Put every part in this
//     folder and run MERGE.BAT again.& goto stop)
//   if not exist "a.!01" (ECHO Part a.!01 ...& goto stop)
//   Copy /B "a.!00"+"a.!01" "a"
//   if errorlevel 1 goto stop
//   CHOICE  Erase partial files
//   if errorlevel 2 goto stop
//   del a.!??
//   :STOP
//   ECHO ON
//   (empty)
//   @ECHO FILE a WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1
// Copy joins the parts it finds even when one is missing, so the script
// checks that every part is there before it copies, and goes to the end
// without asking when a part is missing (saying which) or the copy fails:
// the parts are never erased unless they were all joined.
//
// cmd.exe reads each line in the console's code page, not in UTF-8. A name
// beyond ASCII that one of the console code pages holds (oemcodepages.h) is
// written in that page, after two lines that note the console's page and
// switch it; two more at the end switch it back:
//   for /f "tokens=2 delims=:." %%c in ('chcp') do set DARVOLT_CP=%%c
//   chcp 850 >nul
//   ...
//   @chcp %DARVOLT_CP% >nul
//   @set DARVOLT_CP=
// A name no page holds (or bytes that are not UTF-8) stays as it is; such a
// script stops at its first check, naming the part it cannot find, and the
// split says that MERGE.BAT cannot join that name (MergeScriptReachOf).
// A name holding characters the command interpreter acts on is made harmless
// where it appears: "%" is doubled everywhere; the del line puts the pattern
// in double quotes when the name holds a blank or one of
// & | < > ^ % ( ) , ; =, and the last line escapes & | < > ^ ( ) with "^".
// Bytes that no Windows name can hold and that cannot be written inside
// quotes (control bytes, '"', '*') become "?", so the script can never run a
// command or delete beyond the parts' pattern.
//
// A copy line that would be longer than the limit (some 500 parts and more)
// is spread over several, each followed by its "if errorlevel 1" line: the
// first joins as many parts as fit into the target, each further one appends
// the next parts to it ("Copy /B "a"+"a.!41" ... "a""). Past part 99 the del
// line becomes "del a.!??" for parts 00 to 99 and lines that name the later
// parts one by one ("del "a.!100" ..."), so that every part goes and nothing
// else does.

#include "platform/platform.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// The longest line cmd.exe reads from a batch file.
inline constexpr std::size_t MaxScriptLine = 8191;

// Whether the MERGE.BAT of a source of that name joins its parts on Windows.
enum class MergeScriptReach {
    Joins,
    NameNotOnWindows, // a name no Windows file can have: control bytes, " * / : < > ? \ |, or a device's (CON, NUL...)
    NameUnreadable,   // a name none of the console code pages holds
};
MergeScriptReach MergeScriptReachOf(std::string_view sourceName);

// The lines without their CR LF, in the bytes they are written in; bareParts
// must not be empty.
std::vector<std::string> MergeScriptLines(const std::vector<std::string>& bareParts, std::string_view sourceName);

// The whole file.
std::string MergeScriptText(const std::vector<std::string>& bareParts, std::string_view sourceName);

// How many parts a MERGE.BAT of this source joins: counted on its copy
// lines, and believed only when the script is exactly the one a split of
// that many parts writes.
std::optional<std::size_t> MergeScriptPartCount(std::string_view text, std::string_view sourceName);

} // namespace darvolt
