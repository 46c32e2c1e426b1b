#pragma once
// Where a run puts its parts and what it calls them.
//
// Paths use "/" as the separator; ":" is an ordinary character. Names are the
// bytes the file system holds; upper-casing touches only the ASCII letters a
// to z.

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// The full names of the parts one run has written, in the order of the source.
using PartList = std::vector<std::string>;

std::string UpperCaseAscii(std::string_view text);

// The text up to its last "." (the whole text without one); empty when the
// text holds nothing but bytes of code 32 and below. The search does not stop
// at a "/": StripExtension("/a.b/c") is "/a".
std::string StripExtension(std::string_view text);

// The folder a run writes into in folder mode: the source folder as it
// stands, then the stem of the source name upper-cased, then "_PARTS"
// ("/data/report.doc" gives "/data/REPORT_PARTS"). Only the new folder's own
// name is upper-cased: the existing path keeps its case on a file system that
// tells cases apart. The main window shows exactly this (OutputFolderForField).
std::string OutputFolder(std::string_view sourceFolder, std::string_view sourceName);

// "00" ... "99", "100", ...
std::string PartNumber(std::int64_t counter);

// What goes in front of every part name and of MERGE.BAT: the output folder
// and "/" in folder mode (partSize > 0), the drive folder and "/" in spanning
// mode (partSize 0).
std::string PartPrefix(std::int64_t partSize, std::string_view outputFolder, std::string_view driveFolder);

// What an earlier run of the same source left in an existing output folder,
// as bare names in the order they are to be deleted: the scripts and the
// checksum file first (MERGE.BAT, merge.sh, sourceName + ".sha256"), then
// the recovery data (IsRecoveryFileOf), then the files named sourceName +
// ".!" + a part number. An interruption of the clearing therefore never
// leaves a merge script, checksums or recovery data beside a set with gaps.
std::vector<std::string> EarlierRunFiles(Platform& platform, const std::string& folder,
                                         const std::string& sourceName);

// Deletes EarlierRunFiles() in their order. Everything else (other files,
// subfolders) stays; failures are ignored.
void ClearFolder(Platform& platform, const std::string& folder, const std::string& sourceName);


// The file field's text taken apart at its last "/": the folder keeps the
// "/" (empty when there is none), the name is the rest.
struct SourcePath {
    std::string folder;
    std::string name;
};
SourcePath SplitSourcePath(std::string_view fieldText);

// The output folder a folder-mode run started from this file field text
// will use, for the window's output-folder display.
std::string OutputFolderForField(std::string_view fieldText);

// sourceName + ".!" + PartNumber(counter), without a prefix.
std::string BarePartName(std::string_view sourceName, std::int64_t counter);

// True when an entry name is sourceName + ".!" + a number PartNumber gives.
bool IsPartOf(std::string_view entryName, std::string_view sourceName);

// A part's name taken apart: what it is a part of, and its number.
struct PartName {
    std::string sourceName;
    std::int64_t number = 0;
};
// Nothing unless the name is some sourceName + ".!" + a number as
// PartNumber writes it (up to 18 digits), with a sourceName that is not
// empty.
std::optional<PartName> ParsePartName(std::string_view entryName);

inline constexpr std::string_view MergeScriptName = "MERGE.BAT";
// merge.sh and the checksum file, named where they are written
// (mergeshell.h, checksumfile.h); listed here for the clearing.
inline constexpr std::string_view MergeShellFileName = "merge.sh";
inline constexpr std::string_view ChecksumFileSuffix = ".sha256";

// The recovery data's PAR2 set (recoverydata.h): "<source name>.par2".
inline constexpr std::string_view RecoverySuffix = ".par2";
std::string RecoveryFileName(std::string_view sourceName);
// True for "<source name>.par2" and the volume files par2 writes beside it,
// "<source name>.vol<digits>+<digits>.par2".
bool IsRecoveryFileOf(std::string_view entryName, std::string_view sourceName);

} // namespace darvolt
