#include "app/consolesplitview.h"

#include "split/splittexts.h"

#include <algorithm>
#include <cstdlib>

namespace darvolt {

ConsoleSplitView::ConsoleSplitView(std::istream& in, std::ostream& out, std::ostream& err, bool errIsTerminal,
                                   LineReader readLine)
    : in_(in), readLine_(std::move(readLine)), out_(out), err_(err), terminal_(errIsTerminal)
{
    if (!readLine_)
        readLine_ = [this]() -> std::optional<std::string> {
            std::string line;
            if (!std::getline(in_, line))
                return std::nullopt;
            return line;
        };
}

ConsoleSplitView::~ConsoleSplitView()
{
    endStatusLine();
}

void ConsoleSplitView::setStatusText(const std::string& text)
{
    status_ = text;
    redraw();
}

void ConsoleSplitView::showError(const std::string& text)
{
    endStatusLine();
    err_ << text << '\n' << std::flush;
}

void ConsoleSplitView::showInformation(const std::string& text)
{
    endStatusLine();
    out_ << text << '\n' << std::flush;
}

void ConsoleSplitView::showMessage(const std::string& text)
{
    endStatusLine();
    err_ << text << '\n' << std::flush;
}

std::optional<bool> ConsoleSplitView::promptAnswer(std::string answer)
{
    const auto first = answer.find_first_not_of(" \t\r");
    answer = first == std::string::npos ? std::string() : answer.substr(first, answer.find_last_not_of(" \t\r") - first + 1);
    for (char& c : answer)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (answer.empty() || answer == "y" || answer == "yes")
        return true;
    if (answer == "n" || answer == "no" || answer == "c" || answer == "cancel")
        return false;
    return std::nullopt;
}

bool ConsoleSplitView::askForDiskette(const std::string& text)
{
    endStatusLine();
    err_ << text << "\n[Enter or y: OK, n or c: Cancel] " << std::flush;
    return readOkCancel();
}

bool ConsoleSplitView::askRetry(const std::string& text)
{
    endStatusLine();
    err_ << text << "\n[Enter or y: try again, n: go on] " << std::flush;
    return readOkCancel();
}

void ConsoleSplitView::showNote(const std::string& text)
{
    endStatusLine();
    err_ << text << '\n' << std::flush;
}

std::string ConsoleSplitView::mediumLine(std::size_t number, const RemovableMedium& medium)
{
    const std::string label = medium.label.empty() ? "(no label)" : medium.label;
    const std::string where = medium.folder.empty() ? medium.device + " (not mounted yet)" : medium.folder;
    return "  " + std::to_string(number) + ") " + label + "  " + texts::mediumSize(medium.size) + "  " + where;
}

std::optional<std::size_t> ConsoleSplitView::chooseMedium(const std::string& text,
                                                          const std::vector<RemovableMedium>& media)
{
    endStatusLine();
    err_ << text << '\n';
    for (std::size_t i = 0; i < media.size(); ++i)
        err_ << mediumLine(i + 1, media[i]) << '\n';
    err_ << "[1 to " << media.size() << ": that medium, n: none] " << std::flush;
    for (;;) {
        const auto answer = readLine_();
        if (!answer) {
            err_ << '\n' << std::flush;
            return std::nullopt;
        }
        if (promptAnswer(*answer) == std::optional<bool>(false))
            return std::nullopt;
        char* end = nullptr;
        const unsigned long number = std::strtoul(answer->c_str(), &end, 10);
        if (end != answer->c_str() && std::string(end).find_first_not_of(" \t\r") == std::string::npos
            && number >= 1 && number <= media.size())
            return number - 1;
        err_ << "Please answer with a number from 1 to " << media.size() << ", or n for none: " << std::flush;
    }
}

bool ConsoleSplitView::readOkCancel()
{
    for (;;) {
        const auto answer = readLine_();
        if (!answer) {
            err_ << '\n' << std::flush; // the user's Enter did not end the line
            return false;
        }
        if (const auto ok = promptAnswer(*answer))
            return *ok;
        err_ << "Please answer y (or Enter) to go on, or n to cancel: " << std::flush;
    }
}

void ConsoleSplitView::processPendingMessages()
{
    // Nothing waits on a console; the line is drawn as values change.
}

std::string ConsoleSplitView::statusLine(const std::string& status, std::int64_t position, std::int64_t maximum)
{
    std::string line = status;
    if (maximum > 0) {
        const std::int64_t percent = std::clamp<std::int64_t>(position * 100 / maximum, 0, 100);
        line += (line.empty() ? "" : "  ") + std::to_string(percent) + "%";
    }
    return line;
}

void ConsoleSplitView::redraw()
{
    if (!terminal_ || status_.empty())
        return;
    const std::string line = statusLine(status_, progressPosition(), progressMaximum());
    if (line == shown_)
        return;
    // Back to the start of the line, draw, and clear what a longer line left.
    err_ << '\r' << line << "\x1b[K" << std::flush;
    shown_ = line;
}

void ConsoleSplitView::endStatusLine()
{
    if (shown_.empty())
        return;
    err_ << '\n' << std::flush;
    shown_.clear();
}

} // namespace darvolt
