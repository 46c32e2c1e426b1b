#include "platform/fakefaults.h"

#include <tuple>

namespace darvolt {

void FakeFaults::failFileCall(const std::string& path, FakeOperation op, int nth, ErrorCode code)
{
    fileFaults_[{path, op, nth}] = code;
}

void FakeFaults::storeShortWriteTo(const std::string& path, int nth, std::size_t stored)
{
    fileShortWrites_[{path, nth}] = stored;
}

void FakeFaults::failReadAt(const std::string& path, std::int64_t offset, ErrorCode code)
{
    readFaults_.insert({path, {offset, code}});
}

ErrorCode FakeFaults::enter(FakeOperation op)
{
    const int n = ++counts_[index(op)];
    const auto it = faults_.find({op, n});
    return it == faults_.end() ? error::None : it->second;
}

FakeFaults::Verdict FakeFaults::enterFile(FakeOperation op, const std::string& path, std::int64_t offset,
                                          std::size_t length)
{
    Verdict verdict;
    const int overall = counts_[index(op)] + 1;
    verdict.error = enter(op);
    const int own = ++fileCounts_[{path, op}];
    if (verdict.error == error::None)
        if (const auto it = fileFaults_.find({path, op, own}); it != fileFaults_.end())
            verdict.error = it->second;
    if (verdict.error == error::None && op == FakeOperation::Read && length > 0) {
        const auto [first, last] = readFaults_.equal_range(path);
        for (auto it = first; it != last && verdict.error == error::None; ++it)
            if (it->second.first >= offset && it->second.first < offset + static_cast<std::int64_t>(length))
                verdict.error = it->second.second;
    }
    if (op == FakeOperation::Write) {
        if (const auto it = shortWrites_.find(overall); it != shortWrites_.end())
            verdict.storeOnly = it->second;
        if (const auto it = fileShortWrites_.find({path, own}); it != fileShortWrites_.end())
            verdict.storeOnly = it->second;
    }
    return verdict;
}

int FakeFaults::fileCalls(const std::string& path, FakeOperation op) const
{
    const auto it = fileCounts_.find({path, op});
    return it == fileCounts_.end() ? 0 : it->second;
}

} // namespace darvolt
