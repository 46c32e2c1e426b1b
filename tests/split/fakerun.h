#pragma once
// One split run on the fake platform, recorded for comparison: its outcome,
// the view's record, the output folder's files, and which files another
// thread than the test's wrote into.

#include "platform/fakeplatform.h"
#include "split/splitfile.h"
#include "split/threadview.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

struct RunRecord {
    darvolt::SplitOutcome outcome = darvolt::SplitOutcome::Busy;
    std::vector<std::string> dialogs;
    std::vector<std::string> statuses;
    std::int64_t position = 0;
    std::map<std::string, std::string> files; // output folder: bare name -> contents
    std::map<std::string, int> writes;        // path -> write calls
    std::map<std::string, bool> byWorker;     // path -> written by another thread
    bool viewOnOneThread = true;
    bool positionsNeverFall = true;
    bool pumpBeforeEveryPart = true;
    int openFiles = 0;
    std::size_t fileManagerLaunches = 0;
    bool sourceUntouched = true;
};

class FakeRun {
public:
    using Op = darvolt::FakePlatform::Operation;
    // Runs at the start of every call of the fake, on the calling thread,
    // with the call's number for its operation and path (from 1).
    using Hook = std::function<void(Op, const std::string& path, int nth)>;

    static constexpr const char* Source = "/data/report.doc";
    static constexpr const char* Output = "/data/REPORT_PARTS/";

    darvolt::FakePlatform fake;
    ThreadView view;
    darvolt::SplitOptions options;
    Hook hook;

    FakeRun(const std::string& data, bool concurrent) : data_(data)
    {
        fake.addFile(Source, data);
        fake.allowConcurrentCopies(concurrent);
        fake.setCallHook([this](Op op, const std::string& path) { called(op, path); });
        // Hashing keeps a run to one part at a time; these runs are about
        // the two-part pipeline and what the disk sees.
        options.checksums = false;
    }

    // Splits the source in folder mode (partSize > 0) or onto diskettes (0).
    RunRecord run(std::int64_t partSize)
    {
        RunRecord r;
        r.outcome = SplitFile(fake, view, {"report.doc", "/data/", partSize}, options).outcome;
        r.dialogs = view.dialogs();
        r.statuses = view.statuses();
        r.position = view.position;
        if (const auto listing = fake.listDirectory("/data/REPORT_PARTS"); listing.ok())
            for (const auto& entry : listing.value)
                r.files[entry.name] = fake.contents(Output + entry.name);
        {
            const std::lock_guard lock(mutex_);
            for (const auto& [key, n] : counts_)
                if (key.first == Op::Write)
                    r.writes[key.second] = n;
            r.byWorker = byWorker_;
        }
        r.viewOnOneThread = !view.foreignCall;
        r.positionsNeverFall = view.positionsNeverFall();
        for (std::size_t i = 0; i < view.log.size(); ++i)
            if (view.log[i].starts_with("status ") && (i == 0 || view.log[i - 1] != "pump"))
                r.pumpBeforeEveryPart = false;
        r.openFiles = fake.openFiles();
        r.fileManagerLaunches = fake.fileManagerLaunches().size();
        r.sourceUntouched = fake.contents(Source) == data_ && fake.changeCount(Source) == 0;
        return r;
    }

private:
    void called(Op op, const std::string& path)
    {
        int nth = 0;
        {
            const std::lock_guard lock(mutex_);
            nth = ++counts_[{op, path}];
            if (op == Op::Write && std::this_thread::get_id() != view.owner)
                byWorker_[path] = true;
        }
        if (hook)
            hook(op, path, nth);
    }

    const std::string data_;
    std::mutex mutex_;
    std::map<std::pair<Op, std::string>, int> counts_;
    std::map<std::string, bool> byWorker_;
};
