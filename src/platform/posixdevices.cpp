#include "platform/posixdevices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <vector>

namespace darvolt {

namespace {

// mountinfo writes blanks, tabs, newlines and backslashes in names as \ooo.
std::string unescaped(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// udev writes blanks and other unsafe bytes in link names as \xHH.
std::string unescapedLabel(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 2, "\\x") == 0 && i + 3 < name.size()
            && std::isxdigit(static_cast<unsigned char>(name[i + 2])) != 0
            && std::isxdigit(static_cast<unsigned char>(name[i + 3])) != 0) {
            out += static_cast<char>(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

std::string canonical(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return std::string();
    std::string out = resolved;
    std::free(resolved);
    return out;
}

// The label of the file system on a device, from the links the system keeps
// by label; empty when it has none.
std::string labelOf(const std::string& device, const std::string& labelFolder)
{
    DIR* dir = ::opendir(labelFolder.c_str());
    if (dir == nullptr)
        return std::string();
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(dir, ::closedir);
    const std::string target = canonical(device);
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && !target.empty() && canonical(labelFolder + "/" + name) == target)
            return unescapedLabel(name);
    }
    return std::string();
}

std::string readLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::vector<MountEntry> ReadMountTable(const std::string& mountInfoPath)
{
    std::ifstream in(mountInfoPath);
    std::vector<MountEntry> table;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> before; // up to the "-" separator
        std::string field;
        while (fields >> field && field != "-")
            before.push_back(field);
        MountEntry entry;
        unsigned major = 0, minor = 0;
        char colon = 0;
        if (before.size() < 5 || !(fields >> entry.fsType >> entry.source))
            continue;
        if (!(std::istringstream(before[2]) >> major >> colon >> minor) || colon != ':')
            continue;
        entry.device = makedev(major, minor);
        entry.root = unescaped(before[3]);
        entry.mountPoint = unescaped(before[4]);
        entry.source = unescaped(entry.source);
        table.push_back(std::move(entry));
    }
    return table;
}

std::optional<MountEntry> MountOfDevice(dev_t device, const std::string& mountInfoPath)
{
    std::optional<MountEntry> found;
    for (auto& entry : ReadMountTable(mountInfoPath))
        if (entry.device == device)
            found = std::move(entry);
    return found;
}

bool IsRemovableBlockDevice(dev_t device, const std::string& sysRoot)
{
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const std::string path = canonical(link);
    if (path.empty())
        return false;
    // Sticks, card readers and external drives hang off a hot-pluggable bus;
    // the kernel often calls such a disk fixed (removable = 0) all the same.
    for (const char* bus : {"/usb", "/mmc", "/firewire", "/memstick"})
        if (path.find(bus) != std::string::npos)
            return true;
    // A partition has no removable flag of its own: its disk, one folder up,
    // has it.
    for (const std::string& folder : {path, path.substr(0, path.find_last_of('/'))})
        if (readLine(folder + "/removable") == "1")
            return true;
    return false;
}

bool FileSystemIgnoresCase(std::int64_t magic, const std::string& fsType)
{
    constexpr std::array<std::int64_t, 7> magics = {
        0x4d44,     // FAT (vfat, msdos)
        0x2011BAB0, // exFAT
        0x5346544e, // NTFS
        0x7366746e, // ntfs3
        0x517B,     // SMB
        0xFF534D42, // CIFS
        0xFE534D42, // SMB2
    };
    for (const std::int64_t m : magics)
        if (magic == m)
            return true;
    // FUSE file systems all share one magic number; their type names tell.
    for (const char* name : {"fat", "ntfs", "exfat"})
        if (fsType.find(name) != std::string::npos)
            return true;
    return false;
}

std::int64_t LargestFileOn(std::int64_t magic, const std::string& fsType)
{
    constexpr std::int64_t fatLimit = 0xFFFFFFFFLL; // sizes are 32-bit in a FAT directory entry
    if (magic == 0x4d44) // vfat, msdos
        return fatLimit;
    // FAT through FUSE names itself in the mount table (fuse.fusefat, ...);
    // exFAT, which has no such limit, shares the letters.
    if (magic == 0x65735546 && fsType.find("fat") != std::string::npos && fsType.find("exfat") == std::string::npos)
        return fatLimit;
    return INT64_MAX;
}

std::vector<RemovableMedium> MountedRemovableMedia(const DeviceRoots& roots)
{
    std::vector<RemovableMedium> media;
    std::vector<dev_t> seen;
    for (const auto& mount : ReadMountTable(roots.mountInfoPath)) {
        struct stat source {};
        if (mount.root != "/" || ::stat(mount.source.c_str(), &source) != 0 || !S_ISBLK(source.st_mode))
            continue;
        if (std::find(seen.begin(), seen.end(), source.st_rdev) != seen.end()
            || !IsRemovableBlockDevice(source.st_rdev, roots.sysRoot))
            continue;
        seen.push_back(source.st_rdev);
        RemovableMedium medium;
        medium.id = mount.mountPoint;
        medium.folder = mount.mountPoint;
        medium.device = mount.source;
        medium.label = labelOf(mount.source, roots.labelFolder);
        struct statvfs vfs {};
        if (::statvfs(mount.mountPoint.c_str(), &vfs) == 0)
            medium.size = static_cast<std::int64_t>(vfs.f_blocks * (vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize));
        media.push_back(std::move(medium));
    }
    return media;
}

} // namespace darvolt
