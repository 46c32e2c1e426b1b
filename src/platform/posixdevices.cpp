#include "platform/posixdevices.h"

#include <array>
#include <cstdlib>
#include <fstream>
#include <sstream>
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

std::string readLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

std::optional<MountEntry> MountOfDevice(dev_t device, const std::string& mountInfoPath)
{
    std::ifstream in(mountInfoPath);
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::optional<MountEntry> found;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> before; // up to the "-" separator
        std::string field;
        while (fields >> field && field != "-")
            before.push_back(field);
        MountEntry entry;
        if (before.size() < 5 || before[2] != wanted || !(fields >> entry.fsType >> entry.source))
            continue;
        entry.mountPoint = unescaped(before[4]);
        entry.source = unescaped(entry.source);
        found = entry;
    }
    return found;
}

bool IsRemovableBlockDevice(dev_t device, const std::string& sysRoot)
{
    const std::string link =
        sysRoot + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char* resolved = ::realpath(link.c_str(), nullptr);
    if (resolved == nullptr)
        return false;
    const std::string path = resolved;
    std::free(resolved);
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

} // namespace darvolt
