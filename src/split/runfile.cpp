#include "split/runfile.h"

#include "parts/mergescript.h"
#include "split/splittexts.h"

#include <algorithm>
#include <span>

namespace darvolt {

bool WriteRunFile(Platform& platform, SplitView& view, const std::string& path,
                  const std::vector<std::string>& chunks, bool flush)
{
    auto created = platform.createFile(path);
    if (!created.ok()) {
        view.showMessage(texts::scriptFailed(path));
        return false;
    }
    File& file = *created.value;
    bool complete = true;
    for (const auto& chunk : chunks) {
        const auto written = file.write(std::as_bytes(std::span(chunk.data(), chunk.size())));
        if (!written.ok() || written.value != chunk.size()) {
            complete = false;
            break;
        }
    }
    if (complete && flush && file.flush() != error::None)
        complete = false;
    if (file.close() != error::None)
        complete = false;
    if (complete && flush) {
        const auto slash = path.find_last_of('/');
        const std::string folder =
            slash == std::string::npos ? std::string() : path.substr(0, std::max<std::size_t>(slash, 1));
        complete = platform.flushFolder(folder) == error::None;
    }
    if (!complete) {
        view.showMessage(texts::scriptFailed(path));
        platform.removeFile(path);
    }
    return complete;
}


bool WriteChecksumFile(Platform& platform, SplitView& view, const std::string& path,
                       const std::vector<ChecksumEntry>& entries, bool flush)
{
    std::string text;
    for (const auto& entry : entries)
        text += ChecksumLine(entry);
    return WriteRunFile(platform, view, path, {text}, flush);
}

bool WriteMergeScript(Platform& platform, SplitView& view, const std::string& path,
                      const std::vector<std::string>& bareParts, std::string_view sourceName, bool flush)
{
    std::vector<std::string> lines = MergeScriptLines(bareParts, sourceName);
    for (auto& line : lines)
        line += "\r\n";
    return WriteRunFile(platform, view, path, lines, flush);
}

} // namespace darvolt
