#include "app/consolestatusline.h"

namespace darvolt {

void ConsoleStatusLine::draw(const std::string& line)
{
    if (!terminal_ || line.empty() || line == shown_)
        return;
    stream_ << '\r' << line << "\x1b[K" << std::flush;
    shown_ = line;
}

void ConsoleStatusLine::end()
{
    if (shown_.empty())
        return;
    stream_ << '\n' << std::flush;
    shown_.clear();
}

void ConsoleStatusLine::erase()
{
    if (shown_.empty())
        return;
    stream_ << "\r\x1b[K" << std::flush;
    shown_.clear();
}

} // namespace darvolt
