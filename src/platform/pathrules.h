#pragma once
// The path rules every layer shares, in one place: an empty folder is the
// current one, which is listed, held and shown as "."; a file in a folder
// is the folder, one "/" and its bare name, a folder that is "" or "."
// adding nothing; a folder's trailing "/" are no part of its name.

#include <string>
#include <string_view>

namespace darvolt {

inline std::string FolderShown(std::string_view folder)
{
    return folder.empty() ? std::string(".") : std::string(folder);
}

inline std::string InFolder(std::string_view folder, std::string_view bareName)
{
    if (folder.empty() || folder == ".")
        return std::string(bareName);
    std::string path(folder);
    if (path.back() != '/')
        path += '/';
    return path + std::string(bareName);
}

inline std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace darvolt
