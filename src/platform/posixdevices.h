#pragma once
// What Linux tells about the device and file system under a folder: the
// mount table (/proc/self/mountinfo) and the block devices in /sys. The
// roots are parameters so that tests can hand in a tree of their own.

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace darvolt {

struct MountEntry {
    std::string mountPoint;
    std::string fsType; // "vfat", "fuse.fusefat", "fuseblk", ...
    std::string source; // "/dev/sdb1", "tmpfs", an image file, ...
};

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

} // namespace darvolt
