// The fake platform's helper programs: scripted by the test, their output
// handed out one chunk per read.

#include "platform/fakeplatform.h"

#include <deque>

namespace darvolt {

class FakeProcess final : public Process {
public:
    FakeProcess(FakePlatform& fake, FakePlatform::ProgramRun run)
        : fake_(fake), output_(run.output.begin(), run.output.end()), status_(run.status)
    {
    }

    bool readOutput(std::string& output, std::chrono::milliseconds) override
    {
        if (ended_)
            return false;
        if (output_.empty()) {
            ended_ = true;
            return false;
        }
        output += output_.front();
        output_.pop_front();
        return true;
    }

    int exitStatus() const override { return status_; }

    void terminate() override
    {
        if (ended_)
            return;
        ended_ = true;
        output_.clear();
        status_ = 143;
        const FakePlatform::Lock lock(fake_.mutex_);
        ++fake_.terminated_;
    }

private:
    FakePlatform& fake_;
    std::deque<std::string> output_;
    int status_;
    bool ended_ = false;
};

void FakePlatform::setProgram(const std::string& name, ProgramScript script)
{
    const Lock lock(mutex_);
    programs_[name] = std::move(script);
}

std::vector<ProcessRequest> FakePlatform::processStarts() const
{
    const Lock lock(mutex_);
    return starts_;
}

int FakePlatform::terminatedProcesses() const
{
    const Lock lock(mutex_);
    return terminated_;
}

Result<std::unique_ptr<Process>> FakePlatform::startProcess(const ProcessRequest& request)
{
    using R = Result<std::unique_ptr<Process>>;
    const std::string name = request.command.empty() ? std::string() : request.command.front();
    callHook(Operation::StartProcess, name);
    ProgramScript script;
    {
        const Lock lock(mutex_);
        if (const ErrorCode e = faults_.enter(Operation::StartProcess); e != error::None)
            return R::failure(e);
        starts_.push_back(request);
        const auto found = programs_.find(name);
        if (found == programs_.end())
            return R::failure(error::FileNotFound);
        script = found->second;
    }
    // Outside the lock: the script changes files through the fake's own
    // calls, as the program would.
    return R{std::make_unique<FakeProcess>(*this, script(request)), error::None};
}

} // namespace darvolt
