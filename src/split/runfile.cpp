#include "split/runfile.h"

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

} // namespace darvolt
