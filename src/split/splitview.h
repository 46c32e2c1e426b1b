#pragma once
// What the split engine needs from the window that runs it.
//
// The main window implements this interface with its progress bar, status
// bar and message dialogs; darvolt-split implements it on the console; tests
// record the calls. All calls come from the thread that called SplitFile.
// Texts are byte strings as the file system holds names; a Qt view converts
// them with QFile::decodeName.

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace darvolt {

// Titles of the dialog kinds.
inline constexpr const char* ErrorTitle = "Error";             // error icon, one "OK"
inline constexpr const char* InformationTitle = "Information"; // information icon, one "OK"
inline constexpr const char* ApplicationTitle = "Darvolt";     // plain dialog: no icon, one "OK"
inline constexpr const char* PromptTitle = "Darvolt";          // diskette prompt: no icon, OK and Cancel

class SplitView {
public:
    virtual ~SplitView() = default;

    // Progress in whole KB of the current range: the whole source in folder
    // mode, the current diskette's free space in spanning mode. Values are
    // 64-bit; a bar with a narrower range scales them.
    virtual void setProgressMaximum(std::int64_t kb) = 0;
    virtual void setProgressPosition(std::int64_t kb) = 0;
    virtual void setProgressStep(std::int64_t kb) = 0;
    virtual void stepProgress() = 0; // position += step

    // The status bar's text, "Writing: " + the bare part name during a run.
    virtual void setStatusText(const std::string& text) = 0;

    // Modal dialogs; each returns when the user has answered it.
    virtual void showError(const std::string& text) = 0;       // ErrorTitle
    virtual void showInformation(const std::string& text) = 0; // InformationTitle
    virtual void showMessage(const std::string& text) = 0;     // the plain dialog, ApplicationTitle
    // The diskette prompt (PromptTitle): true for OK, false for Cancel or a
    // closed box.
    virtual bool askForDiskette(const std::string& text) = 0;

    // Several removable media are present when the prompt is answered:
    // the user picks the one for the diskette (text says which), seeing the
    // label, size and folder of each. The index into media, or nothing when
    // the user backs out (the prompt comes again).
    virtual std::optional<std::size_t> chooseMedium(const std::string& text,
                                                    const std::vector<RemovableMedium>& media) = 0;

    // A question with OK and Cancel (PromptTitle): true for OK, try again;
    // false for Cancel or a closed box, go on.
    virtual bool askRetry(const std::string& text) = 0;

    // A note that stays in view until the next status text: the status bar
    // in the window, a line of its own on a console.
    virtual void showNote(const std::string& text) = 0;

    // Lets the window handle what is pending (repaint, clicks on the
    // controls that stay enabled) and returns.
    virtual void processPendingMessages() = 0;
};

// A view that keeps the progress counts itself and only has to show them:
// progressChanged() runs after every change of the maximum or the position.
class ProgressKeepingView : public SplitView {
public:
    void setProgressMaximum(std::int64_t kb) final
    {
        maximum_ = kb;
        progressChanged();
    }
    void setProgressPosition(std::int64_t kb) final
    {
        position_ = kb;
        progressChanged();
    }
    void setProgressStep(std::int64_t kb) final { step_ = kb; }
    void stepProgress() final
    {
        position_ += step_;
        progressChanged();
    }

protected:
    std::int64_t progressMaximum() const { return maximum_; }
    std::int64_t progressPosition() const { return position_; }
    virtual void progressChanged() = 0;

private:
    std::int64_t maximum_ = 0;
    std::int64_t position_ = 0;
    std::int64_t step_ = 0;
};

} // namespace darvolt
