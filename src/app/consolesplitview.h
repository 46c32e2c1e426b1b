#pragma once
// The split engine's view on a console, for darvolt-split.
//
// Dialog texts go to the error stream as one line each, after the program's
// name ("darvolt-split: Error writing file. Split execution failed."), an
// error after what the system said of the call that failed, where a
// FailureWatch noted it; the closing information goes to the output stream.
// The status text and a percentage are drawn on one line of the error
// stream only when it is a terminal: a message on the error stream ends
// that line, so the message stays beside what was being done, while a line
// on the output stream and the end of the run take it away, so that the
// two streams never mix on a screen. The diskette prompt prints its text and reads lines
// until one answers it: Enter, "y" or "yes" mean OK; "n", "no", "c",
// "cancel" (in any case) or the end of input mean Cancel. The retry question
// reads its answer the same way (Cancel: go on). Several media are offered
// as a numbered list, answered by a number, or by "n" or the end of input
// for none. Notes get a line of their own on the error stream.

#include "app/consolestatusline.h"
#include "app/failurewatch.h"
#include "split/splitview.h"

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace darvolt {

class ConsoleSplitView final : public ProgressKeepingView {
public:
    // Reads one line of input for the prompt; nothing at the end of input.
    using LineReader = std::function<std::optional<std::string>()>;

    // Lines come from `in` unless readLine is given.
    ConsoleSplitView(std::istream& in, std::ostream& out, std::ostream& err, bool errIsTerminal,
                     LineReader readLine = {}, FailureWatch* watch = nullptr);
    ~ConsoleSplitView() override;

    void setStatusText(const std::string& text) override;
    void showError(const std::string& text) override;
    void showInformation(const std::string& text) override;
    void showMessage(const std::string& text) override;
    bool askForDiskette(const std::string& text) override;
    std::optional<std::size_t> chooseMedium(const std::string& text,
                                            const std::vector<RemovableMedium>& media) override;
    bool askRetry(const std::string& text) override;
    void showNote(const std::string& text) override;
    void processPendingMessages() override;

    // What a line typed at the diskette prompt means: OK, Cancel, or nothing
    // (ask again).
    static std::optional<bool> promptAnswer(std::string line);

    // One medium of the numbered list: number, label, size, folder.
    static std::string mediumLine(std::size_t number, const RemovableMedium& medium);

    // The line drawn for a status and progress; exposed for tests.
    static std::string statusLine(const std::string& status, std::int64_t position, std::int64_t maximum);

private:
    void progressChanged() override { redraw(); }
    void redraw();
    // Whatever shows next is news: a failure before it was taken in the
    // run's stride and is not the cause of what follows.
    void forgetFailure();
    // A message on the error stream, its first line after the program's name.
    std::ostream& say(std::string_view text);
    // Reads answers until one is OK or Cancel; Cancel at the end of input.
    bool readOkCancel();

    std::istream& in_;
    LineReader readLine_;
    std::ostream& out_;
    std::ostream& err_;
    std::string status_;
    FailureWatch* watch_;
    ConsoleStatusLine line_;
};

} // namespace darvolt
