#include "split/endofrun.h"

#include "parts/checksumfile.h"
#include "parts/mergescript.h"
#include "parts/mergeshell.h"
#include "parts/partnaming.h"

#include <algorithm>

namespace darvolt {

std::vector<EndOfRunFile> EndOfRunFiles(const std::vector<std::string>& bareParts, std::string_view sourceName,
                                        bool checksums)
{
    if (bareParts.empty())
        return {};
    std::vector<EndOfRunFile> files{
        {std::string(MergeScriptName), static_cast<std::int64_t>(MergeScriptText(bareParts, sourceName).size())}};
    // Digests of any value: only their length counts.
    std::vector<ChecksumEntry> sums;
    if (checksums) {
        for (const auto& part : bareParts)
            sums.push_back({part, {}});
        sums.push_back({std::string(sourceName), {}});
        std::int64_t bytes = 0;
        for (const auto& entry : sums)
            bytes += static_cast<std::int64_t>(ChecksumLine(entry).size());
        files.push_back({ChecksumFileName(sourceName), bytes});
    }
    files.push_back({std::string(MergeShellName),
                     static_cast<std::int64_t>(MergeShellText(sourceName, bareParts, sums).size())});
    return files;
}

std::int64_t EndOfRunRoom(const std::vector<std::string>& bareParts, std::string_view sourceName, bool checksums,
                          std::int64_t allocationUnit)
{
    const std::int64_t unit = std::max<std::int64_t>(allocationUnit, 1);
    std::int64_t room = 0;
    for (const auto& file : EndOfRunFiles(bareParts, sourceName, checksums))
        room += (file.bytes + unit - 1) / unit * unit;
    return room;
}

} // namespace darvolt
