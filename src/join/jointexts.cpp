#include "join/jointexts.h"

#include "platform/errorcode.h"

#include <algorithm>

namespace darvolt::texts::join {

namespace {

// Ten names at most: a gap of thousands of parts is told in one line.
std::string list(const std::vector<std::string>& names)
{
    constexpr std::size_t shown = 10;
    std::string out;
    const std::size_t count = std::min(names.size(), shown);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            out += i + 1 == names.size() ? " and " : ", ";
        out += names[i];
    }
    if (names.size() > shown)
        out += " and " + std::to_string(names.size() - shown) + " more";
    return out;
}

std::string bytes(std::int64_t n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string withRemark(std::string text, std::string_view remark)
{
    if (!remark.empty())
        text += " (" + std::string(remark) + ")";
    return text;
}

} // namespace

std::string joining(std::string_view barePart) { return "Joining: " + std::string(barePart); }
std::string checking(std::string_view barePart) { return "Checking: " + std::string(barePart); }

std::string cannotOpen(std::string_view path, std::string_view reason)
{
    return "cannot open '" + std::string(path) + "': " + std::string(reason);
}

std::string cannotRead(std::string_view folder) { return "Cannot read the folder " + std::string(folder); }

std::string noParts(std::string_view folder)
{
    return "No parts found in " + std::string(folder)
           + " (parts are named like report.doc.!00 or archive.7z.001; name one part of a GNU split set)";
}

std::string severalSets(std::string_view folder, const std::vector<std::string>& sourceNames)
{
    return "The folder " + std::string(folder) + " holds the parts of more than one file (" + list(sourceNames)
           + "): name one of the parts or the checksum file";
}

std::string notASet(std::string_view input)
{
    return std::string(input) + " is not a part, a folder of parts or a checksum file written by a split";
}

std::string recognised(std::string_view convention, std::string_view first, std::string_view last,
                       std::size_t parts, std::string_view checkedWith)
{
    return "Recognised " + std::string(convention) + ": " + std::to_string(parts)
           + (parts == 1 ? " part, " + std::string(first) : " parts, " + std::string(first) + " to " + std::string(last))
           + "; " + std::string(checkedWith);
}

std::string gnuSplitSet() { return "a GNU split set"; }
std::string numberedSet() { return "numbered volumes (7-Zip and other splitters)"; }
std::string numberedSetWithCrc() { return "numbered parts with a .crc file (Windows file managers)"; }

std::string checkedWith(std::string_view source, std::string_view digest, bool everyPart, bool whole, bool size)
{
    std::string what;
    if (everyPart)
        what = std::string(digest) + " of every part";
    else if (whole)
        what = std::string(digest) + (size ? " and size" : "") + " of the whole file";
    else
        what = std::string(digest) + " of some of the parts";
    return "checked with " + std::string(source) + " (" + what + ")";
}

std::string nothingToCheckWith() { return "no checksum to check them with"; }

std::string nameUnknown(std::string_view part, std::string_view convention)
{
    return std::string(part) + " is a part of " + std::string(convention)
           + ", and such parts do not carry the name of the file they were cut from";
}

std::string nameGuessed(std::string_view part, std::string_view convention, std::string_view guess)
{
    return nameUnknown(part, convention) + " (perhaps " + std::string(guess) + ")";
}

std::string hiddenName(std::string_view name, std::string_view source)
{
    return "The name " + std::string(source) + " gives the joined file, " + std::string(name)
           + ", begins with a dot, which would make it a hidden file";
}

std::string nameFromPrefix(std::string_view name)
{
    return "The joined file is named " + std::string(name) + ", as the parts' names begin";
}

std::string notACrcFile(std::string_view crcName)
{
    return std::string(crcName) + " is not the .crc file of a split (filename=, size= and crc32= lines): "
           "the parts beside it are not joined unchecked";
}

std::string beyondAnySet(std::string_view part, std::int64_t maxParts)
{
    return std::string(part) + " is numbered past the " + std::to_string(maxParts)
           + " parts a set can have: it is no part of this set. Move it away and join again";
}

std::string sizeDisagrees(std::string_view crcName, std::string_view sourceName, std::int64_t expected,
                          std::int64_t found)
{
    return "The parts hold " + bytes(found) + ", but " + std::string(crcName) + " gives " + std::string(sourceName)
           + " " + bytes(expected) + ": parts are missing or do not belong to this set";
}

std::string wholeMismatch(std::string_view digest, std::string_view found, std::string_view source,
                          std::string_view expected, std::string_view sourceName)
{
    return "Joined, the parts give " + std::string(digest) + " " + std::string(found) + " where "
           + std::string(source) + " expects " + std::string(expected) + " for " + std::string(sourceName)
           + ": a part is damaged or does not belong to this set";
}

std::string partlyUnchecked(const std::vector<std::string>& bareParts, std::string_view source)
{
    return (bareParts.size() == 1 ? "Part " + bareParts.front() + " is" : "Parts " + list(bareParts) + " are")
           + " not listed in " + std::string(source) + ": " + (bareParts.size() == 1 ? "it" : "they")
           + " could not be checked";
}

std::string missing(const std::vector<std::string>& bareParts)
{
    return (bareParts.size() == 1 ? "Part " + bareParts.front() + " is missing"
                                  : "Parts " + list(bareParts) + " are missing");
}

std::string extra(const std::vector<std::string>& bareParts, std::string_view checksumName)
{
    return (bareParts.size() == 1 ? "Part " + bareParts.front() + " is" : "Parts " + list(bareParts) + " are")
           + " not listed in " + std::string(checksumName) + ": the folder holds parts of another split";
}

std::string damaged(std::string_view barePart, std::string_view digest, std::string_view expected,
                    std::string_view found, std::string_view sizeRemark, std::string_view source)
{
    return withRemark("Part " + std::string(barePart) + " is damaged: its " + std::string(digest) + " is "
                          + std::string(found) + ", " + std::string(source) + " expects " + std::string(expected),
                      sizeRemark);
}

std::string wholeDamaged(std::string_view sourceName, std::string_view expected, std::string_view found,
                         std::string_view digest, std::string_view source)
{
    return "The parts match their checksums, but joined they give " + std::string(digest) + " " + std::string(found)
           + " where " + std::string(sourceName) + " had " + std::string(expected) + ": " + std::string(source)
           + " is damaged";
}

std::string sizeOff(std::int64_t size, std::int64_t usual)
{
    return "it holds " + bytes(size) + " where the other parts hold " + std::to_string(usual);
}

std::string lastTooLarge(std::int64_t size, std::int64_t usual)
{
    return "it holds " + bytes(size) + ", more than the other parts (" + std::to_string(usual) + ")";
}

std::string lastAsLarge(std::int64_t size)
{
    return "it holds " + bytes(size) + ", as many as the parts before it, though a split's last part is always "
           "smaller: a part after it may be missing";
}

std::string unchecked(std::string_view sourceName)
{
    return "No checksum file was found for " + std::string(sourceName) + ": the parts could not be checked";
}

std::string shapeWarning(std::string_view barePart, std::string_view remark)
{
    return "Part " + std::string(barePart) + ": " + std::string(remark);
}

std::string cannotReadPart(std::string_view barePart) { return "Error reading part " + std::string(barePart); }

std::string partChanged(std::string_view barePart)
{
    return "Part " + std::string(barePart) + " changed while it was being joined";
}

std::string cannotCreate(std::string_view path) { return "Cannot create " + std::string(path); }

std::string writeFailed(std::string_view path, bool diskFull)
{
    return "Error writing " + std::string(path) + (diskFull ? ": the disk is full" : "");
}

std::string isFolder(std::string_view path) { return std::string(path) + " is a folder"; }

std::string notAFile(std::string_view path)
{
    return std::string(path) + " is not a regular file (a device, a pipe or a socket): it is never replaced";
}

std::string recoveryRefused(std::string_view recoveryName, std::string_view sourceName,
                            const std::vector<std::string>& foreign)
{
    return "The recovery data in " + std::string(recoveryName) + " also describe " + list(foreign)
           + ", which " + (foreign.size() == 1 ? "is" : "are") + " not " + (foreign.size() == 1 ? "a part" : "parts")
           + " of " + std::string(sourceName) + ": repairing from them could replace "
           + (foreign.size() == 1 ? "it" : "them") + ", so they are not used";
}

std::string recoveryOverfull(std::string_view par2Name)
{
    return std::string(par2Name) + " holds more than any PAR2 set can: no recovery data in the folder are used";
}

std::string linkedPart(std::string_view barePart)
{
    return "Part " + std::string(barePart)
           + " is a symbolic link: parts are joined only from files in their own folder (put the file it points to "
             "in its place)";
}

std::string archiveSizeDisagrees(std::string_view firstVolume, std::string_view sourceName, std::int64_t expected,
                                 std::int64_t found)
{
    return "The volumes hold " + bytes(found) + ", but the 7-Zip start header in " + std::string(firstVolume)
           + " gives " + std::string(sourceName) + " " + bytes(expected)
           + ": volumes are missing or do not belong to this archive";
}

std::string lastAsLargeUntold(std::string_view lastPart, std::int64_t size)
{
    return "Part " + std::string(lastPart) + " holds " + bytes(size)
           + ", as many as the parts before it, and nothing beside the parts tells how many there are: "
             "parts after it may be missing";
}

std::string linkBlocksRepair(std::string_view recoveryName, std::string_view link)
{
    return "The parts are not rebuilt from " + std::string(recoveryName) + ": " + std::string(link)
           + " in their folder is a symbolic link, which par2 could write through. Remove it and join again";
}

std::string missingAfterLast(std::string_view lastPart, std::int64_t size)
{
    return "Part " + std::string(lastPart) + " holds " + bytes(size)
           + ", as many as the parts before it, though a split's last part is always smaller: "
             "the parts after it are missing";
}

std::string scriptDisagrees(std::string_view script, std::size_t listed, std::size_t found)
{
    return std::string(script) + " joins " + std::to_string(listed) + (listed == 1 ? " part" : " parts")
           + ", but " + std::to_string(found) + (found == 1 ? " part was" : " parts were")
           + " found: parts are missing or do not belong to this set";
}

std::string wouldReplaceInput(std::string_view path)
{
    return "The joined file " + std::string(path) + " would replace one of the files it is joined from";
}

std::string exists(std::string_view path) { return std::string(path) + " already exists"; }

std::string interrupted(std::string_view output)
{
    return "Join interrupted: " + std::string(output) + " was not written";
}

std::string failedWith(std::string_view why)
{
    return "The join failed: " + std::string(why);
}

std::string joined(std::string_view output, std::size_t parts, bool checked)
{
    return "File " + std::string(output) + " joined from " + std::to_string(parts)
           + (parts == 1 ? " part" : " parts") + (checked ? ", every part matching its checksum" : "");
}

std::string joinedMatching(std::string_view output, std::size_t parts, std::string_view checkedWith)
{
    return joined(output, parts, false) + ", " + std::string(checkedWith);
}

std::string noFileManager(std::string_view folder)
{
    return "No file manager could be opened. The joined file is in " + std::string(folder);
}

std::string repairing(std::string_view recoveryName)
{
    return "Repairing: " + std::string(recoveryName);
}

std::string rebuilt(const std::vector<std::string>& bareParts, std::string_view recoveryName)
{
    return (bareParts.size() == 1 ? "Part " + bareParts.front() + " was" : "Parts " + list(bareParts) + " were")
           + " missing or damaged and rebuilt from the recovery data in " + std::string(recoveryName);
}

std::string noPar2(std::string_view recoveryName)
{
    return "The recovery data in " + std::string(recoveryName)
           + " may rebuild the parts, but par2 is not installed (on Debian and Ubuntu: apt-get install par2)";
}

std::string repairFailed(std::string_view recoveryName, std::string_view why)
{
    return "par2 could not rebuild the parts from " + std::string(recoveryName) + (why.empty() ? "" : ": ")
           + std::string(why);
}

std::string repairStepFailed(std::string_view recoveryName, std::string_view why)
{
    return "The parts could not be rebuilt from " + std::string(recoveryName) + ": " + std::string(why);
}

std::string decodeFailed(std::string_view recoveryName, const DecodeFailure& failure, std::string_view listName)
{
    using What = DecodeFailure::What;
    const std::string file = "'" + failure.file + "'";
    const std::string reason = failure.error != 0 ? ": " + SystemErrorText(failure.error) : std::string();
    switch (failure.what) {
    case What::CannotRead:
    case What::CannotReadRecovery: return repairStepFailed(recoveryName, "cannot read " + file + reason);
    case What::CannotCreate: return repairStepFailed(recoveryName, "cannot create " + file + reason);
    case What::CannotWrite:
        return repairStepFailed(recoveryName, failure.file.empty() ? "out of memory" : "error writing " + file + reason);
    case What::NotAsDescribed:
        return repairStepFailed(recoveryName, failure.file + " did not come out as they describe it");
    case What::DescribedOtherwise:
        return "The recovery data in " + std::string(recoveryName) + " describe " + failure.file + " otherwise than "
               + std::string(listName.empty() ? "the checksum file" : listName)
               + " lists it: they do not belong to these parts, and nothing was rebuilt";
    }
    return repairStepFailed(recoveryName, file);
}

std::string noRepairFolder(std::string_view recoveryName, std::string_view folder, std::string_view reason)
{
    return repairStepFailed(recoveryName, "cannot make a folder to rebuild them in, in " + std::string(folder) + ": "
                                              + std::string(reason));
}

std::string cannotStage(std::string_view barePart, std::string_view reason)
{
    return "cannot give par2 " + std::string(barePart) + ": " + std::string(reason);
}

std::string cannotReplace(std::string_view barePart, std::string_view reason)
{
    return "cannot put the rebuilt " + std::string(barePart) + " in place: " + std::string(reason);
}

std::string rebuiltNotAsListed(std::string_view barePart, std::string_view recoveryName, std::string_view listName)
{
    return "Part " + std::string(barePart) + " rebuilt from " + std::string(recoveryName) + " is not the part "
           + std::string(listName) + " lists: the recovery data do not belong to these parts, and nothing was replaced";
}

std::string onlyCrcAfterRepair(std::string_view sourceName, std::string_view recoveryName, std::string_view crcName)
{
    return "Parts of " + std::string(sourceName) + " are missing or damaged. The recovery data in "
           + std::string(recoveryName) + " could rebuild them, but only the CRC32 in " + std::string(crcName)
           + " would check the result, and anyone can make a CRC32 match: nothing was rebuilt. If you trust "
           + std::string(recoveryName) + ", join again with darvolt-join --trust-recovery";
}

std::string onlyCrcQuestion(std::string_view sourceName, std::string_view recoveryName, std::string_view crcName)
{
    return "Parts of " + std::string(sourceName) + " are missing or damaged. The recovery data in "
           + std::string(recoveryName) + " can rebuild them, but only the CRC32 in " + std::string(crcName)
           + " would check the result, and anyone can make a CRC32 match. Rebuild them from "
           + std::string(recoveryName) + " and join them anyway?";
}

std::string unrepairable(std::string_view recoveryName, const std::vector<std::string>& missing,
                         const std::vector<std::string>& damaged, std::int64_t blocksNeeded)
{
    std::string text = "The recovery data in " + std::string(recoveryName) + " cannot rebuild the parts";
    std::vector<std::string> what;
    if (!missing.empty())
        what.push_back(list(missing) + (missing.size() == 1 ? " is missing" : " are missing"));
    if (!damaged.empty())
        what.push_back(list(damaged) + (damaged.size() == 1 ? " is damaged" : " are damaged"));
    if (!what.empty())
        text += ": " + what.front() + (what.size() > 1 ? ", " + what.back() : std::string());
    if (blocksNeeded > 0)
        text += "; " + std::to_string(blocksNeeded) + " more recovery block" + (blocksNeeded == 1 ? " is" : "s are")
                + " needed";
    return text;
}

std::string repairable(std::string_view recoveryName)
{
    return "The recovery data in " + std::string(recoveryName)
           + " can rebuild what is missing or damaged: darvolt-join rebuilds it as it joins";
}

std::string checkedByRecovery(std::string_view sourceName, std::string_view recoveryName)
{
    return "No checksum file was found for " + std::string(sourceName)
           + ": the parts were checked against the recovery data in " + std::string(recoveryName) + " only";
}

std::string recoveryVouches(std::string_view sourceName, std::size_t parts, std::string_view recoveryName)
{
    return "All " + std::to_string(parts) + (parts == 1 ? " part" : " parts") + " of " + std::string(sourceName)
           + " match the recovery data in " + std::string(recoveryName);
}

std::string checkOk(std::string_view name, std::int64_t size)
{
    return std::string(name) + ": OK (" + bytes(size) + ")";
}

std::string checkFailed(std::string_view name, std::string_view digest, std::string_view expected,
                        std::string_view found, std::string_view sizeRemark)
{
    return withRemark(std::string(name) + ": FAILED, " + std::string(digest) + " " + std::string(found)
                          + ", expected " + std::string(expected),
                      sizeRemark);
}

std::string checkRead(std::string_view name, std::int64_t size) { return std::string(name) + ": " + bytes(size); }

std::string checkMissing(std::string_view name) { return std::string(name) + ": MISSING"; }

std::string checkExtra(std::string_view name)
{
    return std::string(name) + ": NOT LISTED in the checksum file";
}

std::string checkUnchecked(std::string_view name, std::int64_t size)
{
    return std::string(name) + ": " + bytes(size) + ", not checked";
}

std::string checkWhole(std::string_view sourceName, bool good)
{
    return std::string(sourceName) + " (the parts joined): " + (good ? "OK" : "FAILED");
}

std::string checkSummary(std::string_view sourceName, std::size_t parts, std::size_t bad, bool checked)
{
    const std::string of = std::to_string(parts) + (parts == 1 ? " part" : " parts") + " of " + std::string(sourceName);
    if (!checked)
        return "No checksum file: " + of + " found, none could be checked";
    if (bad == 0)
        return "All " + of + " match their checksums";
    return std::to_string(bad) + " of " + of + " failed the check";
}

std::string checkWholeSummary(std::string_view sourceName, std::size_t parts, std::string_view checkedWith)
{
    return "The " + std::to_string(parts) + (parts == 1 ? " part" : " parts") + " of " + std::string(sourceName)
           + " joined are the file: " + std::string(checkedWith);
}

} // namespace darvolt::texts::join
