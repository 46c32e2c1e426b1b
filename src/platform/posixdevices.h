#pragma once
// What Linux tells about the device and file system under a folder: the
// mount table (/proc/self/mountinfo) and the block devices in /sys. The
// roots are parameters so that tests can hand in a tree of their own.

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace darvolt {

struct MountEntry {
    std::string mountPoint;
    std::string fsType; // "vfat", "fuse.fusefat", "fuseblk", ...
    std::string source; // "/dev/sdb1", "tmpfs", an image file, ...
    std::string root;   // the folder of the file system shown there: "/" unless bind-mounted
    dev_t device = 0;   // the st_dev of files on it
};

// Every mount of a mountinfo file, in its order.
std::vector<MountEntry> ReadMountTable(const std::string& mountInfoPath);

// The mount whose device number is `device` (the st_dev of a file on it),
// from a mountinfo file; the last one listed wins, as later mounts hide
// earlier ones.
std::optional<MountEntry> MountOfDevice(dev_t device, const std::string& mountInfoPath);

// True when the block device (its st_rdev, or the st_dev of a file on a
// kernel-mounted file system) sits on a removable disk or on a hot-pluggable
// bus (USB, memory card, FireWire), as sysfs under sysRoot tells.
bool IsRemovableBlockDevice(dev_t device, const std::string& sysRoot);

// True for the names and magic numbers of file systems that ignore the case
// of file names.
bool FileSystemIgnoresCase(std::int64_t magic, const std::string& fsType);

// The largest file a file system takes, by its magic number and (for FUSE,
// whose file systems share one magic number) its type name in the mount
// table: 4 GiB - 1 on FAT, no limit of its own elsewhere.
std::int64_t LargestFileOn(std::int64_t magic, const std::string& fsType);

// Where a medium's device and file system were found: the mount table, the
// block devices in sysfs and the label links the system keeps.
struct DeviceRoots {
    std::string mountInfoPath = "/proc/self/mountinfo";
    std::string sysRoot = "/sys";
    std::string labelFolder = "/dev/disk/by-label";
};

// The media that the mount table shows mounted from removable or
// hot-pluggable block devices, each once (bind mounts of a part of one are
// left out), in the table's order. None of them is ejectable: the program
// did not mount them and does not unmount them.
std::vector<RemovableMedium> MountedRemovableMedia(const DeviceRoots& roots);

} // namespace darvolt
