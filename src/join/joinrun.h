#pragma once
// One join or check, as JoinParts runs it; shared by its two source files.

#include "join/joinfile.h"
#include "join/joinoutput.h"
#include "join/partset.h"
#include "join/recoveryset.h"
#include "parts/kilobyteprogress.h"
#include "parts/messagepacer.h"
#include "parts/par2tool.h"
#include "parts/partcopy.h"
#include "parts/partnaming.h"
#include "parts/recoverydecoder.h"
#include "parts/rundigests.h"

#include <memory>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace darvolt {

class RepairFolder;

// The folder of a path, "." for a bare name.
std::string FolderOf(const std::string& path);

class JoinRun {
public:
    JoinRun(Platform& platform, JoinView& view, const std::string& input, const JoinOptions& options)
        : platform_(platform), view_(view), input_(input), options_(options),
          pacer_([this] { view_.processPendingMessages(); },
                 options.clock ? options.clock : [] { return std::chrono::steady_clock::now(); },
                 options.pumpInterval),
          output_(platform)
    {
        if (!options.output.empty())
            outputName_ = SplitSourcePath(options.output).name;
    }

    JoinResult run();

private:
    JoinResult finish(JoinOutcome outcome);
    // Takes a set found on disk, with the counts of a fresh join.
    void adopt(PartSet set);
    // The joined file's path: the one given, else asked of the view when the
    // set does not tell its name; false when there is none.
    bool outputKnown();
    // Which convention another tool's set follows and what checks it.
    void tellConvention();
    std::string checkedWith() const;
    // Only the whole file's digest checks the join: it is hashed as it goes.
    bool wholeOnly() const { return set_.whole && !set_.partsChecked(); }
    // Joins the set as it stands now.
    JoinOutcome joinSet();
    // A check, and what the recovery data can do about what it found.
    JoinOutcome checkAll();
    // joinrepair.cpp: rebuilds the set from its recovery data; nothing when
    // the join can go on (rebuilt, or nothing to rebuild), else the outcome.
    // firstCheck: par2 is the only check there is, and it may be missing.
    // Each step below answers the same way; `held`: errors to show on a
    // failure.
    std::optional<JoinOutcome> repair(bool firstCheck);
    // The parts the repair put in place, taken into the set, and told.
    void takeRebuiltParts();
    // What a checksum list says of every part, those not read yet hashed.
    std::vector<PartKnown> judgeParts();
    std::optional<Digest> hashPart(const SetPart& part, std::vector<std::byte>& buffer);
    std::optional<JoinOutcome> rebuild(bool firstCheck, const std::vector<std::function<void()>>& held);
    std::optional<JoinOutcome> decode(RepairFolder& folder, const std::vector<PartKnown>& known,
                                      std::vector<std::string>& made, const std::vector<std::function<void()>>& held);
    std::optional<JoinOutcome> repairWithPar2(RepairFolder& folder, const std::vector<PartKnown>& known,
                                              std::vector<std::string>& made, bool firstCheck,
                                              const std::vector<std::function<void()>>& held);
    // What par2's end and status come to for either run of it: the outcome
    // told, or nothing when it is the caller's to go on from (not
    // installed; 0, whole or rebuilt; 1, repairable).
    std::optional<JoinOutcome> par2Ended(const ToolRun& run, const std::vector<std::function<void()>>& held);
    // The rebuilt parts that are lost parts of the set, checked, in place.
    std::optional<JoinOutcome> placeRebuilt(RepairFolder& folder, const std::vector<std::string>& made,
                                            const std::vector<PartKnown>& known);
    // The set's only check is another tool's CRC32 of the whole.
    bool onlyCrcChecks() const;
    JoinOutcome verifyForCheck();
    // The first symbolic link in the parts' folder, if any (the folder
    // itself when it cannot be listed).
    std::optional<std::string> linkInFolder();
    // Runs par2 in `folder` with its progress in the view.
    ToolRun runPar2(std::string_view action, Par2Progress& progress, const std::string& folder,
                    std::vector<std::string> arguments);
    bool repairable() const { return recovery_ && !repaired_; }
    // A failure that the recovery data may mend: held back until the
    // repair is known to be impossible.
    void holdOrShow(const std::string& error);
    void holdOrShow(std::function<void()> show);
    std::size_t hashBlock() const;
    bool stopped() const { return options_.stop != nullptr && options_.stop->load(std::memory_order_relaxed); }
    void betweenSteps();
    bool setComplete();
    // Opens the output where the run was told, or the set says; false when
    // it cannot be (told).
    bool prepareOutput();
    JoinOutcome join();
    // jointwoatonce.cpp: a checked join of two parts at once.
    struct PartInFlight;
    class TwoAtOnce;
    JoinOutcome joinTwoAtOnce();
    CopyStepResult copyPartAt(PartInFlight& part, const std::atomic<bool>& abandoned,
                              const std::function<void()>& betweenSteps);
    // Every part is in the temporary file: it takes the output's name.
    JoinOutcome joined();
    JoinOutcome failCopy(const CopyStepResult& failed, const SetPart& part);
    // The part whose digest is not the one listed.
    JoinOutcome damaged(std::size_t index);
    // The whole file's digest, once every part is in: the one listed, or
    // the failure told.
    bool wholeMatches();
    bool putInPlace();
    JoinOutcome check();
    // A check's verdict on the whole file, once every part was read: told,
    // and true when it holds.
    bool checkWhole();
    // A new feed for the digests of `kinds` and the options' consumers;
    // none when nothing wants the blocks.
    void startFeed(DigestKinds kinds);
    // The next number of the feed's parts for the part at `index`, which
    // counts as unread until it is ended with endFed().
    std::int64_t beginFed();
    void endFed(std::int64_t number, std::size_t index, bool read);
    // Copies one part into the temporary file (or only reads it, checking);
    // the bytes copied in `count`. Its blocks go to the feed, if any, as
    // the feed's part `number`.
    CopyStepResult copyPart(const SetPart& part);
    CopyStepResult copyFrom(File& source, std::int64_t number);
    // The repair found the part to be the listed one, and it still is that file.
    bool alreadyVouched(std::size_t index);
    // Compares the digests the worker has made since the last call; the
    // index of the first part that does not match, if any.
    std::optional<std::size_t> compareDigests();
    // Shows the findings of a check that are known, in part order.
    void showFindings();

    Platform& platform_;
    JoinView& view_;
    const std::string input_;
    const JoinOptions options_;
    MessagePacer pacer_;

    PartSet set_;
    std::string outputName_; // the bare name of the output the run was given
    std::string chosen_;     // the output the view chose, for a set that does not name it
    // Nothing half-joined outlives the run, however it ends.
    JoinOutput output_;
    // The feed's consumers come before it: its threads hand them blocks.
    std::unique_ptr<RunDigests> digests_;
    std::unique_ptr<BlockFeed> feed_;
    // Set indexes of the parts handed to the feed, by the feed's numbers;
    // Unread for one not read to its end, whose digest means nothing.
    static constexpr std::size_t Unread = static_cast<std::size_t>(-1);
    std::vector<std::size_t> fed_;
    std::vector<bool> unhashed_;   // by the feed's numbers: the digest is known, not hashed
    std::size_t compared_ = 0;     // how many of them have been compared
    std::vector<Digest> found_; // per part, once hashed
    // Per part, what it was when its digest was found to be the listed one:
    // a part that is still that file is not hashed again.
    std::vector<std::optional<FileIdentity>> vouched_;
    std::vector<std::byte> buffer_;
    std::int64_t done_ = 0; // bytes read
    std::int64_t total_ = 0;
    KilobyteProgress shown_{-1};

    std::optional<RecoverySet> recovery_;
    bool repaired_ = false;      // the recovery data have been used
    bool repairWanted_ = false;  // the last join stopped at something they may mend
    bool partDamaged_ = false;   // ... a part that failed its checksum among it
    bool verifiedByRecovery_ = false;
    bool par2Missing_ = false;   // the only check there was could not run
    std::vector<std::function<void()>> heldErrors_;
    std::vector<std::string> rebuilt_;

    // A check's findings, shown in part order as they become known.
    std::vector<std::optional<std::pair<std::string, bool>>> findings_;
    std::size_t shownFindings_ = 0;
};

} // namespace darvolt
