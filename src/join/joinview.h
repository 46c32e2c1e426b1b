#pragma once
// What the join engine needs from the program that runs it: darvolt-join
// implements it on the console, the main window with its progress bar,
// status bar and dialogs, tests by recording. All calls come from the thread
// that called JoinParts. Texts are byte strings as the file system holds
// names.

#include "join/jointexts.h"

#include <cstdint>
#include <string>

namespace darvolt {

// A part whose digest is not the one its set lists.
struct DamagedPart {
    std::string part;       // the bare part name
    std::string digest;     // "SHA-256", "MD5", ...
    std::string expected;   // hex, as the list gives it
    std::string found;      // hex, as the part gives it
    std::string sizeRemark; // how its size differs from the others'; may be empty
    std::string source;     // "the checksum file", or the name of another tool's list
};

class JoinView {
public:
    virtual ~JoinView() = default;

    // Whole KB done of all KB the run reads.
    virtual void setProgress(std::int64_t doneKb, std::int64_t totalKb) = 0;
    // "Joining: " or "Checking: " + the bare part name.
    virtual void setStatusText(const std::string& text) = 0;

    // The failure that ended the run (or one of the findings that will).
    virtual void showError(const std::string& text) = 0;
    // The same for a damaged part, for a view that tells it in its own
    // words; the others show the one-line text with both digests.
    virtual void showDamaged(const DamagedPart& d)
    {
        showError(texts::join::damaged(d.part, d.digest, d.expected, d.found, d.sizeRemark, d.source));
    }
    // Something the user should know that does not stop the run, such as a
    // join that nothing could check.
    virtual void showWarning(const std::string& text) = 0;
    // The closing message of a run that did what was asked.
    virtual void showInformation(const std::string& text) = 0;
    // A check's finding for one part or for the whole file, in order.
    virtual void showCheck(const std::string& line, bool good) = 0;
    // Which convention another tool's parts were found to follow, and what
    // checks them: told first, whatever the run comes to.
    virtual void showNote(const std::string&) {}

    // Asked before an existing file is replaced by the joined one (never
    // when the run was told to replace it); true replaces it. A view that
    // answers false has told the user why nothing happened.
    virtual bool confirmReplace(const std::string& path) = 0;

    // Asked for the joined file's path when the set does not tell its name
    // (why says so) and the run was not given one; `suggestion` is a path
    // in the parts' folder. Empty: nothing is joined, and the view has told
    // the user why (or the user declined).
    virtual std::string chooseOutput(const std::string& /*why*/, const std::string& /*suggestion*/) { return {}; }

    // Asked before parts are rebuilt from recovery data that nothing but a
    // CRC32 would check (why says so); true rebuilds and joins them. The
    // default declines, and the run then tells why it stopped.
    virtual bool trustRecovery(const std::string& /*why*/) { return false; }

    // Lets the window handle what is pending and returns.
    virtual void processPendingMessages() = 0;
};

} // namespace darvolt
