#include "split/partnaming.h"

#include <algorithm>

std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string StripExtension(std::string_view text)
{
    const bool blank = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) <= 32; });
    if (blank)
        return std::string();
    const auto dot = text.find_last_of('.');
    return std::string(dot == std::string_view::npos ? text : text.substr(0, dot));
}

std::string OutputFolder(std::string_view sourceFolder, std::string_view sourceName)
{
    return std::string(sourceFolder) + UpperCaseAscii(StripExtension(sourceName)) + "_PARTS";
}

std::string PartNumber(std::int64_t counter)
{
    std::string digits = std::to_string(counter);
    if (digits.size() < 2)
        digits.insert(0, 1, '0');
    return digits;
}

std::string PartPrefix(std::int64_t partSize, std::string_view outputFolder, std::string_view driveFolder)
{
    std::string prefix(partSize == 0 ? driveFolder : outputFolder);
    if (prefix.empty() || prefix.back() != '/')
        prefix += '/';
    return prefix;
}

std::vector<std::string> EarlierRunFiles(darvolt::Platform& platform, const std::string& folder,
                                         const std::string& sourceName)
{
    std::vector<std::string> names;
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return names;
    for (const auto& entry : listing.value) {
        if (entry.isDirectory)
            continue;
        if (entry.name == darvolt::MergeScriptName)
            names.insert(names.begin(), entry.name);
        else if (darvolt::IsPartOf(entry.name, sourceName))
            names.push_back(entry.name);
    }
    return names;
}

void ClearFolder(darvolt::Platform& platform, const std::string& folder, const std::string& sourceName)
{
    for (const auto& name : EarlierRunFiles(platform, folder, sourceName))
        platform.removeFile(folder + "/" + name);
}

namespace darvolt {

SourcePath SplitSourcePath(std::string_view fieldText)
{
    const auto slash = fieldText.find_last_of('/');
    if (slash == std::string_view::npos)
        return {std::string(), std::string(fieldText)};
    return {std::string(fieldText.substr(0, slash + 1)), std::string(fieldText.substr(slash + 1))};
}

std::string OutputFolderForField(std::string_view fieldText)
{
    const SourcePath source = SplitSourcePath(fieldText);
    return OutputFolder(source.folder, source.name);
}

std::string BarePartName(std::string_view sourceName, std::int64_t counter)
{
    return std::string(sourceName) + ".!" + PartNumber(counter);
}

bool IsPartOf(std::string_view entryName, std::string_view sourceName)
{
    if (entryName.size() < sourceName.size() + 4 || !entryName.starts_with(sourceName))
        return false;
    const auto tail = entryName.substr(sourceName.size());
    if (!tail.starts_with(".!"))
        return false;
    const auto digits = tail.substr(2);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    // Only what PartNumber writes: two digits, or more without a leading zero.
    return digits.size() == 2 || digits.front() != '0';
}

} // namespace darvolt
