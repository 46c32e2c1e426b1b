#include "app/consolesplitview.h"

#include "app/consolecommand.h"
#include "split/splittexts.h"

#include <algorithm>
#include <cstdlib>

namespace darvolt {

ConsoleSplitView::ConsoleSplitView(std::istream& in, std::ostream& out, std::ostream& err, bool errIsTerminal,
                                   LineReader readLine, FailureWatch* watch)
    : in_(in), readLine_(std::move(readLine)), out_(out), err_(err), watch_(watch), line_(err, errIsTerminal)
{
    if (!readLine_)
        readLine_ = [this]() -> std::optional<std::string> {
            std::string line;
            if (!std::getline(in_, line))
                return std::nullopt;
            return line;
        };
}

ConsoleSplitView::~ConsoleSplitView() = default;

void ConsoleSplitView::forgetFailure()
{
    if (watch_ != nullptr)
        watch_->forget();
}

std::ostream& ConsoleSplitView::say(std::string_view text)
{
    forgetFailure();
    line_.end();
    return err_ << "darvolt-split: " << ConsoleLine(text);
}

void ConsoleSplitView::setStatusText(const std::string& text)
{
    forgetFailure(); // the run has gone on to its next step
    status_ = text;
    redraw();
}

void ConsoleSplitView::showError(const std::string& text)
{
    if (const std::string cause = watch_ != nullptr ? watch_->take() : std::string(); !cause.empty())
        say(cause) << '\n';
    say(text) << '\n' << std::flush;
}

void ConsoleSplitView::showInformation(const std::string& text)
{
    forgetFailure();
    line_.erase();
    out_ << text << '\n' << std::flush;
}

void ConsoleSplitView::showMessage(const std::string& text)
{
    say(text) << '\n' << std::flush;
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
    say(text) << "\n[Enter or y: OK, n or c: Cancel] " << std::flush;
    return readOkCancel();
}

bool ConsoleSplitView::askRetry(const std::string& text)
{
    say(text) << "\n[Enter or y: try again, n: go on] " << std::flush;
    return readOkCancel();
}

void ConsoleSplitView::showNote(const std::string& text)
{
    say(text) << '\n' << std::flush;
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
    say(text) << '\n';
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
        say("Please answer with a number from 1 to " + std::to_string(media.size()) + ", or n for none:")
            << ' ' << std::flush;
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
        say("Please answer y (or Enter) to go on, or n to cancel:") << ' ' << std::flush;
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
    if (!status_.empty())
        line_.draw(statusLine(status_, progressPosition(), progressMaximum()));
}

} // namespace darvolt
