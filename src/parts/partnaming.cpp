#include "parts/partnaming.h"

#include <algorithm>

namespace darvolt {

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

std::vector<std::string> EarlierRunFiles(Platform& platform, const std::string& folder,
                                         const std::string& sourceName)
{
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return {};
    const std::string first[] = {std::string(MergeScriptName), std::string(MergeShellFileName),
                                 sourceName + std::string(ChecksumFileSuffix)};
    std::vector<std::string> scripts;
    std::vector<std::string> recovery;
    std::vector<std::string> parts;
    for (const auto& entry : listing.value) {
        if (entry.isDirectory)
            continue;
        if (std::find(std::begin(first), std::end(first), entry.name) != std::end(first))
            scripts.push_back(entry.name);
        else if (IsRecoveryFileOf(entry.name, sourceName))
            recovery.push_back(entry.name);
        else if (IsPartOf(entry.name, sourceName))
            parts.push_back(entry.name);
    }
    // In the order of `first`, MERGE.BAT leading.
    std::sort(scripts.begin(), scripts.end(), [&](const std::string& a, const std::string& b) {
        return std::find(std::begin(first), std::end(first), a) < std::find(std::begin(first), std::end(first), b);
    });
    scripts.insert(scripts.end(), recovery.begin(), recovery.end());
    scripts.insert(scripts.end(), parts.begin(), parts.end());
    return scripts;
}

void ClearFolder(Platform& platform, const std::string& folder, const std::string& sourceName)
{
    for (const auto& name : EarlierRunFiles(platform, folder, sourceName))
        platform.removeFile(folder + "/" + name);
}

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

std::optional<PartName> ParsePartName(std::string_view entryName)
{
    const auto mark = entryName.rfind(".!");
    if (mark == std::string_view::npos || mark == 0)
        return std::nullopt;
    const std::string_view source = entryName.substr(0, mark);
    const std::string_view digits = entryName.substr(mark + 2);
    if (digits.size() > 18 || !IsPartOf(entryName, source))
        return std::nullopt;
    std::int64_t number = 0;
    for (const char c : digits)
        number = number * 10 + (c - '0');
    return PartName{std::string(source), number};
}

std::string RecoveryFileName(std::string_view sourceName)
{
    return std::string(sourceName) + std::string(RecoverySuffix);
}

bool IsRecoveryFileOf(std::string_view entryName, std::string_view sourceName)
{
    if (!entryName.starts_with(sourceName) || !entryName.ends_with(RecoverySuffix)
        || entryName.size() < sourceName.size() + RecoverySuffix.size())
        return false;
    std::string_view middle = entryName.substr(sourceName.size());
    middle.remove_suffix(RecoverySuffix.size());
    if (middle.empty())
        return true;
    if (!middle.starts_with(".vol"))
        return false;
    middle.remove_prefix(4);
    const auto plus = middle.find('+');
    const auto digits = [](std::string_view text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return plus != std::string_view::npos && digits(middle.substr(0, plus)) && digits(middle.substr(plus + 1));
}

} // namespace darvolt
