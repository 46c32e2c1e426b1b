#pragma once
// The one line of a console run that shows what is being done and how far
// it has got, redrawn in place on a terminal ("\r", the text, then clearing
// what a longer text left). Nothing is drawn where the stream is not a
// terminal.
//
// A message on the same stream ends the line first, so the message stays
// below what was being done when it came; a line on another stream (the
// output, the same screen) takes it away first and lets it be drawn again
// after, so the two never mix on one line.

#include <ostream>
#include <string>

namespace darvolt {

class ConsoleStatusLine {
public:
    ConsoleStatusLine(std::ostream& stream, bool terminal) : stream_(stream), terminal_(terminal) {}
    ~ConsoleStatusLine() { erase(); }
    ConsoleStatusLine(const ConsoleStatusLine&) = delete;
    ConsoleStatusLine& operator=(const ConsoleStatusLine&) = delete;

    void draw(const std::string& line);
    void end();
    void erase();

private:
    std::ostream& stream_;
    const bool terminal_;
    std::string shown_; // the line on screen now, if any
};

} // namespace darvolt
