#include "parts/par2tool.h"

#include <algorithm>
#include <charconv>

namespace darvolt {

Par2Progress::Par2Progress(std::vector<Stage> stages)
    : stages_(std::move(stages)), done_(stages_.size(), 0.0), counted_(stages_.size(), 0)
{
    for (const Stage& stage : stages_)
        total_ += stage.weight;
}

void Par2Progress::feed(std::string_view output)
{
    for (const char c : output) {
        if (c == '\n' || c == '\r') {
            line(pending_);
            pending_.clear();
        } else if (pending_.size() < 4096) {
            pending_ += c;
        }
    }
    // A percentage is printed without a line end until the next one.
    if (!pending_.empty() && pending_.back() == '%')
        line(pending_);
}

void Par2Progress::line(std::string_view text)
{
    for (std::size_t i = 0; i < stages_.size(); ++i) {
        const Stage& stage = stages_[i];
        if (!text.starts_with(stage.label))
            continue;
        double done = done_[i];
        if (stage.lines > 0) {
            done = static_cast<double>(++counted_[i]) / static_cast<double>(stage.lines);
        } else if (text.ends_with('%')) {
            const std::string_view number = text.substr(stage.label.size(), text.size() - stage.label.size() - 1);
            double percent = 0;
            const auto parsed = std::from_chars(number.data(), number.data() + number.size(), percent);
            if (parsed.ec == std::errc())
                done = percent / 100.0;
        } else if (text.substr(stage.label.size()).starts_with("done")) {
            done = 1.0;
        }
        // Reaching a stage means those before it are over.
        for (std::size_t j = 0; j < i; ++j)
            done_[j] = 1.0;
        done_[i] = std::clamp(std::max(done_[i], done), 0.0, 1.0);
        break;
    }
    if (total_ <= 0)
        return;
    double sum = 0;
    for (std::size_t i = 0; i < stages_.size(); ++i)
        sum += stages_[i].weight * done_[i];
    fraction_ = std::max(fraction_, std::min(sum / total_, 1.0));
}

ToolRun RunTool(ToolSession session, ProcessRequest request, Par2Progress& progress,
                const std::function<void(double)>& onProgress)
{
    constexpr std::size_t keep = std::size_t{16} << 20;
    ToolRun run;
    request.environment.emplace_back(Par2Tuning);
    auto started = session.platform.startProcess(request);
    if (!started.ok()) {
        run.error = started.error;
        run.end = started.error == error::FileNotFound ? ToolRun::End::NotInstalled : ToolRun::End::NotStarted;
        return run;
    }
    Process& process = *started.value;
    const auto wait = std::max(session.pacer.interval(), std::chrono::milliseconds(1));
    double shown = -1;
    for (;;) {
        if (session.stop != nullptr && session.stop->load(std::memory_order_relaxed)) {
            process.terminate();
            run.end = ToolRun::End::Stopped;
            run.status = process.exitStatus();
            return run;
        }
        std::string chunk;
        const bool more = process.readOutput(chunk, wait);
        if (!chunk.empty()) {
            progress.feed(chunk);
            run.output += chunk;
            if (run.output.size() > keep)
                run.output.erase(0, run.output.size() - keep);
        }
        if (progress.fraction() != shown) {
            shown = progress.fraction();
            onProgress(shown);
        }
        session.pacer.pace();
        if (!more)
            break;
    }
    run.end = ToolRun::End::Finished;
    run.status = process.exitStatus();
    return run;
}

std::string LastOutputLine(std::string_view output)
{
    std::string last;
    std::string current;
    for (const char c : output) {
        if (c == '\n' || c == '\r') {
            if (current.find_first_not_of(' ') != std::string::npos)
                last = current;
            current.clear();
        } else {
            current += c;
        }
    }
    if (current.find_first_not_of(' ') != std::string::npos)
        last = current;
    return last;
}

} // namespace darvolt
