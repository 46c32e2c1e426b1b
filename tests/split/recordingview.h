#pragma once
// A SplitView for tests: records every call in order and answers the
// diskette prompt, the choice of a medium and the retry question through
// callbacks.

#include "split/splitview.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class RecordingView : public darvolt::SplitView {
public:
    // Every call in order: "max 12", "pos 0", "status Writing: a.!00",
    // "error <text>", "information <text>", "message <text>", "prompt <text>",
    // "choose <text>: <label>|<folder>, ...", "retry <text>", "note <text>",
    // "pump". Steps are summed into position, not logged.
    std::vector<std::string> log;
    std::int64_t maximum = -1;
    std::int64_t position = 0;
    std::int64_t step = 0;
    int pumps = 0;
    // Answers the n-th prompt (from 0); OK when unset.
    std::function<bool(int)> onPrompt;
    // Runs inside processPendingMessages.
    std::function<void()> onPump;
    int prompts = 0;
    // Picks one of several media; the first when unset.
    std::function<std::optional<std::size_t>(const std::vector<darvolt::RemovableMedium>&)> onChoose;
    // Answers the n-th retry question (from 0); go on when unset.
    std::function<bool(int)> onRetry;
    int retries = 0;

    void setProgressMaximum(std::int64_t kb) override { maximum = kb; log.push_back("max " + std::to_string(kb)); }
    void setProgressPosition(std::int64_t kb) override { position = kb; log.push_back("pos " + std::to_string(kb)); }
    void setProgressStep(std::int64_t kb) override { step = kb; }
    void stepProgress() override { position += step; }
    void setStatusText(const std::string& text) override { log.push_back("status " + text); }
    void showError(const std::string& text) override { log.push_back("error " + text); }
    void showInformation(const std::string& text) override { log.push_back("information " + text); }
    void showMessage(const std::string& text) override { log.push_back("message " + text); }
    bool askForDiskette(const std::string& text) override
    {
        log.push_back("prompt " + text);
        const int n = prompts++;
        return onPrompt ? onPrompt(n) : true;
    }
    std::optional<std::size_t> chooseMedium(const std::string& text,
                                            const std::vector<darvolt::RemovableMedium>& media) override
    {
        std::string entry = "choose " + text;
        for (std::size_t i = 0; i < media.size(); ++i)
            entry += (i == 0 ? " " : ", ") + media[i].label + "|" + media[i].folder;
        log.push_back(entry);
        return onChoose ? onChoose(media) : std::optional<std::size_t>(0);
    }
    bool askRetry(const std::string& text) override
    {
        log.push_back("retry " + text);
        const int n = retries++;
        return onRetry ? onRetry(n) : false;
    }
    void showNote(const std::string& text) override { log.push_back("note " + text); }
    void processPendingMessages() override
    {
        ++pumps;
        log.push_back("pump");
        if (onPump)
            onPump();
    }

    // The dialogs only (errors, information, messages, prompts), in order.
    std::vector<std::string> dialogs() const
    {
        std::vector<std::string> out;
        for (const auto& entry : log)
            if (entry.starts_with("error ") || entry.starts_with("information ") || entry.starts_with("message ")
                || entry.starts_with("prompt ") || entry.starts_with("choose ") || entry.starts_with("retry "))
                out.push_back(entry);
        return out;
    }
    std::vector<std::string> notes() const
    {
        std::vector<std::string> out;
        for (const auto& entry : log)
            if (entry.starts_with("note "))
                out.push_back(entry.substr(5));
        return out;
    }
    std::vector<std::string> statuses() const
    {
        std::vector<std::string> out;
        for (const auto& entry : log)
            if (entry.starts_with("status "))
                out.push_back(entry.substr(7));
        return out;
    }
};
