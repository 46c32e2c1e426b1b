#pragma once
// The join engine's messages, as the user reads them on the console and in
// the window's dialogs.

#include "parts/recoverydecoder.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt::texts::join {

std::string joining(std::string_view barePart);  // status text
std::string checking(std::string_view barePart); // status text

// What the user named, or a file of the set, could not be opened: the
// system's reason.
std::string cannotOpen(std::string_view path, std::string_view reason);
std::string cannotRead(std::string_view folder);
std::string noParts(std::string_view folder);
std::string severalSets(std::string_view folder, const std::vector<std::string>& sourceNames);
std::string notASet(std::string_view input);

// Other tools' sets (setnaming.h): which convention the parts were found
// to follow and what checks them, said before anything else.
std::string recognised(std::string_view convention, std::string_view first, std::string_view last,
                       std::size_t parts, std::string_view checkedWith);
std::string gnuSplitSet();
std::string numberedSet();
std::string numberedSetWithCrc();
// What a set is checked with: "SHA256SUMS (SHA-256 of every part)", ...
std::string checkedWith(std::string_view source, std::string_view digest, bool everyPart, bool whole,
                        bool size);
std::string nothingToCheckWith();
// A set that does not tell the joined file's name; the view asks for one.
std::string nameUnknown(std::string_view part, std::string_view convention);
std::string nameGuessed(std::string_view part, std::string_view convention, std::string_view guess);
// A name a .crc file, a checksum list or the volumes give that would make a
// hidden file.
std::string hiddenName(std::string_view name, std::string_view source);
// The name the parts' prefix gives the joined file, told with the set.
std::string nameFromPrefix(std::string_view name);
std::string notACrcFile(std::string_view crcName);
std::string beyondAnySet(std::string_view part, std::int64_t maxParts);
std::string sizeDisagrees(std::string_view crcName, std::string_view sourceName, std::int64_t expected,
                          std::int64_t found);
std::string wholeMismatch(std::string_view digest, std::string_view found, std::string_view source,
                          std::string_view expected, std::string_view sourceName);
std::string partlyUnchecked(const std::vector<std::string>& bareParts, std::string_view source);

std::string missing(const std::vector<std::string>& bareParts);
std::string extra(const std::vector<std::string>& bareParts, std::string_view checksumName);
// source: the file that lists the part's digest, "the checksum file" for ours.
std::string damaged(std::string_view barePart, std::string_view digest, std::string_view expected,
                    std::string_view found, std::string_view sizeRemark, std::string_view source);
std::string wholeDamaged(std::string_view sourceName, std::string_view expected, std::string_view found,
                         std::string_view digest, std::string_view source);
std::string sizeOff(std::int64_t size, std::int64_t usual);
std::string lastTooLarge(std::int64_t size, std::int64_t usual);
std::string lastAsLarge(std::int64_t size);
std::string unchecked(std::string_view sourceName);
std::string shapeWarning(std::string_view barePart, std::string_view remark);

std::string cannotReadPart(std::string_view barePart);
std::string partChanged(std::string_view barePart);
std::string cannotCreate(std::string_view path);
std::string writeFailed(std::string_view path, bool diskFull);
std::string isFolder(std::string_view path);
std::string wouldReplaceInput(std::string_view path);
std::string exists(std::string_view path);
std::string interrupted(std::string_view output);
std::string failedWith(std::string_view why);

std::string joined(std::string_view output, std::size_t parts, bool checked);
// A join that only the whole file's digest (and size) could check.
std::string joinedMatching(std::string_view output, std::size_t parts, std::string_view checkedWith);
std::string noFileManager(std::string_view folder);

// The recovery data (recoveryset.h)
std::string repairing(std::string_view recoveryName); // status text
std::string rebuilt(const std::vector<std::string>& bareParts, std::string_view recoveryName);
std::string noPar2(std::string_view recoveryName);
std::string repairFailed(std::string_view recoveryName, std::string_view why);
// The program's own repair, or a step around par2's, that could not be done.
std::string repairStepFailed(std::string_view recoveryName, std::string_view why);
std::string decodeFailed(std::string_view recoveryName, const DecodeFailure& failure, std::string_view listName);
std::string noRepairFolder(std::string_view recoveryName, std::string_view folder, std::string_view reason);
std::string cannotStage(std::string_view barePart, std::string_view reason);
std::string cannotReplace(std::string_view barePart, std::string_view reason);
// A rebuilt part that is not the part the checksum list gives.
std::string rebuiltNotAsListed(std::string_view barePart, std::string_view recoveryName, std::string_view listName);
// Parts to rebuild where only another tool's CRC32 of the whole would
// check them: the run's refusal, and the window's question.
std::string onlyCrcAfterRepair(std::string_view sourceName, std::string_view recoveryName, std::string_view crcName);
std::string onlyCrcQuestion(std::string_view sourceName, std::string_view recoveryName, std::string_view crcName);
std::string unrepairable(std::string_view recoveryName, const std::vector<std::string>& missing,
                         const std::vector<std::string>& damaged, std::int64_t blocksNeeded);
std::string repairable(std::string_view recoveryName);
std::string checkedByRecovery(std::string_view sourceName, std::string_view recoveryName);
// Recovery data that describe other files besides the parts, never used.
std::string recoveryRefused(std::string_view recoveryName, std::string_view sourceName,
                            const std::vector<std::string>& foreign);
// A PAR2 file that holds more packets than any set can have.
std::string recoveryOverfull(std::string_view par2Name);
// A symbolic link among the parts' folder, which par2 could write through.
std::string linkBlocksRepair(std::string_view recoveryName, std::string_view link);
// Without a checksum file: a last part as large as the others, or a
// script beside the parts that joins another number of them.
std::string missingAfterLast(std::string_view lastPart, std::int64_t size);
std::string scriptDisagrees(std::string_view script, std::size_t listed, std::size_t found);
std::string notAFile(std::string_view path);
// A part that is a symbolic link, in any set.
std::string linkedPart(std::string_view barePart);
// 7-Zip volumes that do not hold the archive their first one's start
// header gives.
std::string archiveSizeDisagrees(std::string_view firstVolume, std::string_view sourceName, std::int64_t expected,
                                 std::int64_t found);
// Another tool's set that tells nothing of its size and ends in a part as
// large as the others.
std::string lastAsLargeUntold(std::string_view lastPart, std::int64_t size);
std::string recoveryVouches(std::string_view sourceName, std::size_t parts, std::string_view recoveryName);

// --check
std::string checkOk(std::string_view name, std::int64_t size);
std::string checkFailed(std::string_view name, std::string_view digest, std::string_view expected,
                        std::string_view found, std::string_view sizeRemark);
// A part read whole, of a set that has no digests of its parts.
std::string checkRead(std::string_view name, std::int64_t size);
std::string checkMissing(std::string_view name);
std::string checkExtra(std::string_view name);
std::string checkUnchecked(std::string_view name, std::int64_t size);
std::string checkWhole(std::string_view sourceName, bool good);
std::string checkSummary(std::string_view sourceName, std::size_t parts, std::size_t bad, bool checked);
std::string checkWholeSummary(std::string_view sourceName, std::size_t parts, std::string_view checkedWith);

} // namespace darvolt::texts::join
