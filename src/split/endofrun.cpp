#include "split/endofrun.h"

#include "split/mergescript.h"
#include "split/partnaming.h"

#include <algorithm>

namespace darvolt {

std::vector<EndOfRunFile> EndOfRunFiles(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    if (bareParts.empty())
        return {};
    return {{std::string(MergeScriptName),
             static_cast<std::int64_t>(MergeScriptText(bareParts, sourceName).size())}};
}

std::int64_t EndOfRunRoom(const std::vector<std::string>& bareParts, std::string_view sourceName,
                          std::int64_t allocationUnit)
{
    const std::int64_t unit = std::max<std::int64_t>(allocationUnit, 1);
    std::int64_t room = 0;
    for (const auto& file : EndOfRunFiles(bareParts, sourceName))
        room += (file.bytes + unit - 1) / unit * unit;
    return room;
}

} // namespace darvolt
