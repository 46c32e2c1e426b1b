#include "parts/mergescript.h"

#include "parts/checksumfile.h"
#include "parts/oemcodepages.h"
#include "parts/partnaming.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace darvolt {

namespace {

// A byte the script cannot carry as it is, inside quotes or not.
bool unwritable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 32 || u == 127 || c == '"' || c == '*';
}

// A name as cmd.exe reads it back: what the script cannot write becomes
// "?", "%" is doubled, and the characters of `caret` take a caret.
std::string escaped(std::string_view name, std::string_view caret)
{
    std::string out;
    for (char c : name) {
        if (unwritable(c))
            out += '?';
        else if (c == '%')
            out += "%%";
        else if (caret.find(c) != std::string_view::npos)
            out += std::string{'^', c};
        else
            out += c;
    }
    return out;
}

// For use between double quotes, where only "%" still means something.
std::string quoted(std::string_view name)
{
    return escaped(name, {});
}

bool needsQuotes(std::string_view name)
{
    for (char c : name)
        if (unwritable(c) || std::string_view(" &|<>^%(),;=").find(c) != std::string_view::npos)
            return true;
    return false;
}

// For ECHO's text, where blanks are harmless and operators need a caret.
std::string escapedForEcho(std::string_view name)
{
    return escaped(name, "&|<>^()");
}

std::string deleteLine(std::string pattern)
{
    if (!needsQuotes(pattern))
        return "del " + pattern;
    return "del \"" + quoted(pattern) + "\"";
}

// The del lines: the last part's name with its last two characters made
// "??". Past part 99 that pattern covers parts 00 to 99 only; the parts
// numbered 100 and up are named one by one (a pattern of three "?" would also
// take other files, say name.!bak), as many to a line as fit.
std::vector<std::string> deleteLines(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    const std::string stem = std::string(sourceName) + ".!";
    std::vector<std::string> lines;
    std::string line = "del";
    for (const auto& part : bareParts) {
        if (!part.starts_with(stem) || part.size() <= stem.size() + 2)
            continue;
        const std::string item = " \"" + quoted(part) + '"';
        if (line.size() + item.size() > MaxScriptLine && line != "del") {
            lines.push_back(line);
            line = "del";
        }
        line += item;
    }
    if (line != "del") {
        lines.insert(lines.begin(), deleteLine(stem + "??"));
        lines.push_back(line);
        return lines;
    }
    std::string pattern = bareParts.empty() ? std::string() : bareParts.back();
    for (std::size_t i = pattern.size() >= 2 ? pattern.size() - 2 : 0; i < pattern.size(); ++i)
        pattern[i] = '?';
    return {deleteLine(pattern)};
}

// "Copy /B" lines that join the parts in order, each within MaxScriptLine.
std::vector<std::string> copyLines(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    const std::string target = '"' + quoted(sourceName) + '"';
    std::vector<std::string> lines;
    std::string line = "Copy /B ";
    bool first = true;
    for (const auto& part : bareParts) {
        const std::string item = '"' + quoted(part) + '"';
        if (!first && line.size() + 1 + item.size() + 1 + target.size() > MaxScriptLine) {
            lines.push_back(line + ' ' + target);
            line = "Copy /B " + target; // appends to what the lines before joined
            first = false;
        }
        line += (first ? "" : "+") + item;
        first = false;
    }
    lines.push_back(line + ' ' + target);
    return lines;
}

// The devices every folder of Windows holds, whatever the extension: a file
// named CON.TXT cannot be made there.
bool deviceName(std::string_view name)
{
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    constexpr std::array<std::string_view, 4> plain{"CON", "PRN", "AUX", "NUL"};
    if (std::find(plain.begin(), plain.end(), stem) != plain.end())
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1'
           && stem[3] <= '9';
}

bool ascii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The check before the copy: when the part is not there, the script says
// which one and stops.
std::string checkLine(std::string_view part)
{
    return "if not exist \"" + quoted(part) + "\" (ECHO Part " + escapedForEcho(part)
           + " is missing. Put every part in this folder and run MERGE.BAT again.& goto stop)";
}

// Only the names in the lines go beyond ASCII, so a page that holds the
// source's name holds every line. The page is switched before the first line
// that names a part is read, and back after the last one.
std::vector<std::string> inConsoleCodePage(std::vector<std::string> lines, std::string_view sourceName)
{
    const OemCodePage* page = ascii(sourceName) ? nullptr : CodePageHolding(sourceName);
    if (page == nullptr)
        return lines;
    for (auto& line : lines)
        line = EncodeInCodePage(line, *page).value_or(line);
    // chcp answers "Active code page: 850" or, in another language, words
    // of its own, a colon and the number, with a full stop after it in some.
    lines.insert(lines.begin() + 1, {"for /f \"tokens=2 delims=:.\" %%c in ('chcp') do set DARVOLT_CP=%%c",
                                     "chcp " + std::to_string(page->number) + " >nul"});
    lines.push_back("@chcp %DARVOLT_CP% >nul");
    lines.push_back("@set DARVOLT_CP=");
    return lines;
}

} // namespace

MergeScriptReach MergeScriptReachOf(std::string_view sourceName)
{
    for (char c : sourceName)
        if (unwritable(c) || std::string_view("/:<>?\\|").find(c) != std::string_view::npos)
            return MergeScriptReach::NameNotOnWindows;
    if (deviceName(sourceName))
        return MergeScriptReach::NameNotOnWindows;
    if (!ascii(sourceName) && CodePageHolding(sourceName) == nullptr)
        return MergeScriptReach::NameUnreadable;
    return MergeScriptReach::Joins;
}

std::vector<std::string> MergeScriptLines(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::vector<std::string> lines{"ECHO OFF"};
    // Copy joins whatever parts it finds and may still end well, and a Y to
    // the question then erases them all: the script stops before the copy
    // unless every part is there, and before the question unless every copy
    // line succeeded.
    for (const auto& part : bareParts)
        lines.push_back(checkLine(part));
    for (auto& copy : copyLines(bareParts, sourceName)) {
        lines.push_back(std::move(copy));
        lines.push_back("if errorlevel 1 goto stop");
    }
    lines.push_back("CHOICE  Erase partial files ");
    lines.push_back("if errorlevel 2 goto stop");
    for (auto& del : deleteLines(bareParts, sourceName))
        lines.push_back(std::move(del));
    for (const char* tail : {":STOP", "ECHO ON", ""})
        lines.emplace_back(tail);
    lines.push_back("@ECHO FILE " + escapedForEcho(sourceName) + " WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1");
    return inConsoleCodePage(std::move(lines), sourceName);
}

std::string MergeScriptText(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::string text;
    for (const auto& line : MergeScriptLines(bareParts, sourceName))
        text += line + "\r\n";
    return text;
}

// The parts a MERGE.BAT of this source joins: counted on its copy lines,
// and believed only when the script is the one a split of that many parts
// writes.
std::optional<std::size_t> MergeScriptPartCount(std::string_view text, std::string_view sourceName)
{
    std::size_t count = 0;
    bool first = true;
    std::string_view rest = text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.starts_with("Copy /B "))
            continue;
        const auto plus = static_cast<std::size_t>(std::count(line.begin(), line.end(), '+'));
        count += first ? plus + 1 : plus;
        first = false;
    }
    if (count == 0 || count > MaxChecksumEntries)
        return std::nullopt;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i)
        names.push_back(BarePartName(sourceName, static_cast<std::int64_t>(i)));
    if (MergeScriptText(names, sourceName) != text)
        return std::nullopt;
    return count;
}

} // namespace darvolt
