#include "app/consolejoinview.h"

#include "app/consolesplitview.h"

namespace darvolt {

ConsoleJoinView::ConsoleJoinView(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet,
                                 FailureWatch* watch)
    : out_(out), err_(err), quiet_(quiet), watch_(watch), line_(err, errIsTerminal && !quiet)
{
}

void ConsoleJoinView::setProgress(std::int64_t doneKb, std::int64_t totalKb)
{
    done_ = doneKb;
    total_ = totalKb;
    redraw();
}

void ConsoleJoinView::setStatusText(const std::string& text)
{
    forgetFailure(); // the run has gone on to its next step
    status_ = text;
    redraw();
}

void ConsoleJoinView::showError(const std::string& text)
{
    const std::string cause = watch_ != nullptr ? watch_->take() : std::string();
    line_.end();
    if (!cause.empty())
        err_ << "darvolt-join: " << cause << '\n';
    err_ << "darvolt-join: " << text << '\n' << std::flush;
}

void ConsoleJoinView::showWarning(const std::string& text)
{
    forgetFailure();
    line_.end();
    err_ << "darvolt-join: warning: " << text << '\n' << std::flush;
}

void ConsoleJoinView::showInformation(const std::string& text)
{
    tell(text, false);
}

void ConsoleJoinView::showCheck(const std::string& line, bool good)
{
    tell(line, !good);
}

void ConsoleJoinView::showNote(const std::string& text)
{
    showInformation(text);
}

bool ConsoleJoinView::confirmReplace(const std::string& path)
{
    showError(path + " already exists; --force replaces it");
    return false;
}

std::string ConsoleJoinView::chooseOutput(const std::string& why, const std::string&)
{
    showError(why + ": name the joined file with --output FILE");
    return {};
}

void ConsoleJoinView::tell(const std::string& text, bool evenWhenQuiet)
{
    forgetFailure();
    if (quiet_ && !evenWhenQuiet)
        return;
    line_.erase();
    out_ << text << '\n' << std::flush;
}

void ConsoleJoinView::redraw()
{
    if (!status_.empty())
        line_.draw(ConsoleSplitView::statusLine(status_, done_, total_));
}

void ConsoleJoinView::forgetFailure()
{
    if (watch_ != nullptr)
        watch_->forget();
}

} // namespace darvolt
