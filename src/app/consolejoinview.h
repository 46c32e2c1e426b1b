#pragma once
// The join engine's view on a console, for darvolt-join.
//
// Failures and warnings go to the error stream as "darvolt-join: ...", a
// failure after what the system said of the call that failed, where a
// FailureWatch noted it; the closing message and a check's lines go to the
// output stream. The status text and a percentage are drawn on one line of
// the error stream only when it is a terminal (ConsoleStatusLine): a check's
// line takes it away and it comes back after, so on a screen the progress
// stays on one line below the lines already checked. An existing file is
// never replaced from here: the view says that --force does it and
// declines; a set that does not tell the joined file's name is not joined
// either, the view saying that --output names it. Which convention another
// tool's set follows is said on the output stream, before the rest. A quiet
// view tells only what went wrong.

#include "app/consolestatusline.h"
#include "app/failurewatch.h"
#include "join/joinview.h"

#include <ostream>
#include <string>

namespace darvolt {

class ConsoleJoinView final : public JoinView {
public:
    ConsoleJoinView(std::ostream& out, std::ostream& err, bool errIsTerminal, bool quiet = false,
                    FailureWatch* watch = nullptr);

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
    void forgetFailure();
    // A line on the output stream, unless the view is quiet.
    void tell(const std::string& text, bool evenWhenQuiet);

    std::ostream& out_;
    std::ostream& err_;
    const bool quiet_;
    FailureWatch* watch_;
    std::string status_;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
    ConsoleStatusLine line_;
};

} // namespace darvolt
