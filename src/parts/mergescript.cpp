#include "parts/mergescript.h"


#include <algorithm>
#include <cstddef>

namespace darvolt {

namespace {

// A byte the script cannot carry as it is, inside quotes or not.
bool unwritable(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 32 || u == 127 || c == '"' || c == '*';
}

// For use between double quotes, where only "%" still means something.
std::string quoted(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (unwritable(c))
            out += '?';
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
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
    std::string out;
    for (char c : name) {
        if (unwritable(c))
            out += '?';
        else if (c == '%')
            out += "%%";
        else if (std::string_view("&|<>^()").find(c) != std::string_view::npos)
            out += std::string{'^', c};
        else
            out += c;
    }
    return out;
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

} // namespace

std::vector<std::string> MergeScriptLines(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::vector<std::string> lines{"ECHO OFF"};
    // Copy joins whatever parts it finds and may still end well, and a Y to
    // the question then erases them all: the script stops before the copy
    // unless every part is there, and before the question unless every copy
    // line succeeded.
    for (const auto& part : bareParts)
        lines.push_back("if not exist \"" + quoted(part) + "\" goto stop");
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
    return lines;
}

std::string MergeScriptText(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::string text;
    for (const auto& line : MergeScriptLines(bareParts, sourceName))
        text += line + "\r\n";
    return text;
}

} // namespace darvolt
