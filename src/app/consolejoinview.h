#pragma once
// The join engine's view on a console, for darvolt-join.
//
// Failures and warnings go to the error stream as "darvolt-join: ..."; the
// closing message and a check's lines go to the output stream. The status
// text and a percentage are drawn on one line of the error stream only
// when it is a terminal. An existing file is never replaced from here: the
// view says that --force does it and declines; a set that does not tell the
// joined file's name is not joined either, the view saying that --output
// names it. Which convention another tool's set follows is said on the
// output stream, before the rest.

#include "join/joinview.h"

#include <ostream>
#include <string>

namespace darvolt {

class ConsoleJoinView final : public JoinView {
public:
    ConsoleJoinView(std::ostream& out, std::ostream& err, bool errIsTerminal);
    ~ConsoleJoinView() override;

    void setProgress(std::int64_t doneKb, std::int64_t totalKb) override;
    void setStatusText(const std::string& text) override;
    void showError(const std::string& text) override;
    void showWarning(const std::string& text) override;
    void showInformation(const std::string& text) override;
    void showCheck(const std::string& line, bool good) override;
    void showNote(const std::string& text) override;
    bool confirmReplace(const std::string& path) override;
    std::string chooseOutput(const std::string& why, const std::string& suggestion) override;
    void processPendingMessages() override {}

private:
    void redraw();
    void endStatusLine();

    std::ostream& out_;
    std::ostream& err_;
    const bool terminal_;
    std::string status_;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
    std::string shown_;
};

} // namespace darvolt
