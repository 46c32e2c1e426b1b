#include "app/consolejoinview.h"

#include "app/consolesplitview.h"

namespace darvolt {

ConsoleJoinView::ConsoleJoinView(std::ostream& out, std::ostream& err, bool errIsTerminal)
    : out_(out), err_(err), terminal_(errIsTerminal)
{
}

ConsoleJoinView::~ConsoleJoinView()
{
    endStatusLine();
}

void ConsoleJoinView::setProgress(std::int64_t doneKb, std::int64_t totalKb)
{
    done_ = doneKb;
    total_ = totalKb;
    redraw();
}

void ConsoleJoinView::setStatusText(const std::string& text)
{
    status_ = text;
    redraw();
}

void ConsoleJoinView::showError(const std::string& text)
{
    endStatusLine();
    err_ << "darvolt-join: " << text << '\n' << std::flush;
}

void ConsoleJoinView::showWarning(const std::string& text)
{
    endStatusLine();
    err_ << "darvolt-join: warning: " << text << '\n' << std::flush;
}

void ConsoleJoinView::showInformation(const std::string& text)
{
    endStatusLine();
    out_ << text << '\n' << std::flush;
}

void ConsoleJoinView::showCheck(const std::string& line, bool)
{
    endStatusLine();
    out_ << line << '\n' << std::flush;
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

void ConsoleJoinView::redraw()
{
    if (!terminal_ || status_.empty())
        return;
    const std::string line = ConsoleSplitView::statusLine(status_, done_, total_);
    if (line == shown_)
        return;
    err_ << '\r' << line << "\x1b[K" << std::flush;
    shown_ = line;
}

void ConsoleJoinView::endStatusLine()
{
    if (shown_.empty())
        return;
    err_ << '\n' << std::flush;
    shown_.clear();
}

} // namespace darvolt
