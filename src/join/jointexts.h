#pragma once
// The join engine's messages, as the user reads them on the console and in
// the window's dialogs.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt::texts::join {

std::string joining(std::string_view barePart);  // status text
std::string checking(std::string_view barePart); // status text

std::string notFound(std::string_view input);
std::string cannotRead(std::string_view folder);
std::string noParts(std::string_view folder);
std::string severalSets(std::string_view folder, const std::vector<std::string>& sourceNames);
std::string notASet(std::string_view input);

std::string missing(const std::vector<std::string>& bareParts);
std::string extra(const std::vector<std::string>& bareParts, std::string_view checksumName);
std::string damaged(std::string_view barePart, std::string_view expected, std::string_view found,
                    std::string_view sizeRemark);
std::string wholeDamaged(std::string_view sourceName, std::string_view expected, std::string_view found);
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

std::string joined(std::string_view output, std::size_t parts, bool checked);
std::string noFileManager(std::string_view folder);

// The recovery data (recoveryset.h)
std::string repairing(std::string_view recoveryName); // status text
std::string rebuilt(const std::vector<std::string>& bareParts, std::string_view recoveryName);
std::string noPar2(std::string_view recoveryName);
std::string repairFailed(std::string_view recoveryName, std::string_view why);
std::string unrepairable(std::string_view recoveryName, const std::vector<std::string>& missing,
                         const std::vector<std::string>& damaged, std::int64_t blocksNeeded);
std::string repairable(std::string_view recoveryName);
std::string checkedByRecovery(std::string_view sourceName, std::string_view recoveryName);
// Recovery data that describe other files besides the parts, never used.
std::string recoveryRefused(std::string_view recoveryName, std::string_view sourceName,
                            const std::vector<std::string>& foreign);
// A symbolic link among the parts' folder, which par2 could write through.
std::string linkBlocksRepair(std::string_view recoveryName, std::string_view link);
// Without a checksum file: a last part as large as the others, or a
// script beside the parts that joins another number of them.
std::string missingAfterLast(std::string_view lastPart, std::int64_t size);
std::string scriptDisagrees(std::string_view script, std::size_t listed, std::size_t found);
std::string notAFile(std::string_view path);
std::string recoveryVouches(std::string_view sourceName, std::size_t parts, std::string_view recoveryName);

// --check
std::string checkOk(std::string_view name, std::int64_t size);
std::string checkFailed(std::string_view name, std::string_view expected, std::string_view found,
                        std::string_view sizeRemark);
std::string checkMissing(std::string_view name);
std::string checkExtra(std::string_view name);
std::string checkUnchecked(std::string_view name, std::int64_t size);
std::string checkWhole(std::string_view sourceName, bool good);
std::string checkSummary(std::string_view sourceName, std::size_t parts, std::size_t bad, bool checked);

} // namespace darvolt::texts::join
