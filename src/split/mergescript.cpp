#include "split/mergescript.h"

#include "split/splittexts.h"

#include <cstddef>
#include <span>

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

std::string deletePattern(const std::string& lastPart)
{
    std::string pattern = lastPart;
    for (std::size_t i = pattern.size() >= 2 ? pattern.size() - 2 : 0; i < pattern.size(); ++i)
        pattern[i] = '?';
    if (!needsQuotes(pattern))
        return "del " + pattern;
    return "del \"" + quoted(pattern) + "\"";
}

} // namespace

std::vector<std::string> MergeScriptLines(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::string copy = "Copy /B ";
    for (std::size_t i = 0; i < bareParts.size(); ++i) {
        if (i > 0)
            copy += '+';
        copy += '"' + quoted(bareParts[i]) + '"';
    }
    copy += " \"" + quoted(sourceName) + '"';

    return {
        "ECHO OFF",
        copy,
        "CHOICE  Erase partial files ",
        "if errorlevel 2 goto stop",
        deletePattern(bareParts.empty() ? std::string() : bareParts.back()),
        ":STOP",
        "ECHO ON",
        "",
        "@ECHO FILE " + escapedForEcho(sourceName) + " WAS SPLIT AND MERGED BY DARVOLT VERSION 2.1",
    };
}

std::string MergeScriptText(const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    std::string text;
    for (const auto& line : MergeScriptLines(bareParts, sourceName))
        text += line + "\r\n";
    return text;
}

bool WriteMergeScript(Platform& platform, SplitView& view, const std::string& path,
                      const std::vector<std::string>& bareParts, std::string_view sourceName)
{
    auto created = platform.createFile(path);
    if (!created.ok()) {
        view.showMessage(texts::scriptFailed(path));
        return false;
    }
    File& file = *created.value;
    bool complete = true;
    for (const auto& line : MergeScriptLines(bareParts, sourceName)) {
        const std::string bytes = line + "\r\n";
        const auto written = file.write(std::as_bytes(std::span(bytes.data(), bytes.size())));
        if (!written.ok() || written.value != bytes.size()) {
            complete = false;
            break;
        }
    }
    if (file.close() != error::None)
        complete = false;
    if (!complete) {
        view.showMessage(texts::scriptFailed(path));
        platform.removeFile(path);
    }
    return complete;
}

} // namespace darvolt
