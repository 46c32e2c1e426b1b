#pragma once
// The packets of a PAR2 2.0 recovery set, as the format's public
// description lays them out: every packet a 64-byte header (magic, length,
// the MD5 of what follows the hash, the set's ID, the type) and a body, all
// numbers little-endian, every length a multiple of 4.
//
// A Darvolt set gives each part one slice: the slice size is the part size
// (rounded up to 4), so a recovery slice rebuilds any one part. The files
// are the parts; their order in the set (by file ID, compared as 128-bit
// little-endian numbers) fixes each part's Reed-Solomon constant.

#include "parts/sha256.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

using Par2Id = Md5Digest;

struct Par2SliceChecksum {
    Md5Digest md5{};
    std::uint32_t crc32 = 0;
};

struct Par2File {
    std::string name;
    std::int64_t length = 0;
    Md5Digest md5{};         // of the whole file
    Md5Digest md5First16k{}; // of its first 16 KiB (or all of it, when shorter)
    std::vector<Par2SliceChecksum> slices; // each slice zero-padded to the slice size
    Par2Id id() const;
};

inline constexpr std::size_t Par2HeaderSize = 64;
inline constexpr std::size_t Par2First16k = 16 * 1024;

// Whether a precedes b in the main packet.
bool Par2IdBefore(const Par2Id& a, const Par2Id& b);

// The main packet's body for files in its order; its MD5 is the set's ID.
std::string Par2MainBody(std::int64_t sliceSize, const std::vector<Par2Id>& ids);

// The packets every file of the set repeats (main, and a description and
// slice checksums for each file, in the given order), and the creator's.
std::string Par2CriticalPackets(const Par2Id& setId, std::int64_t sliceSize, const std::vector<const Par2File*>& files);
std::string Par2CreatorPacket(const Par2Id& setId, std::string_view creator);

// A recovery slice packet: its header and exponent (68 bytes) for data
// whose packet hash, taken over the set ID, type, exponent and data, is
// `hash` (Par2RecoveryHashStart() fed with the data, then finished).
std::string Par2RecoveryPacketStart(const Par2Id& setId, std::uint32_t exponent, std::int64_t sliceSize,
                                    const Md5Digest& hash);
Md5 Par2RecoveryHashStart(const Par2Id& setId, std::uint32_t exponent);
inline constexpr std::size_t Par2RecoveryPrefix = Par2HeaderSize + 4;

// A little-endian number of `bytes` bytes, and a 16-byte ID, as packets hold them.
std::uint64_t Par2Number(const std::byte* at, int bytes);
Par2Id Par2IdAt(const std::byte* at);

namespace par2type {
inline constexpr std::string_view Main{"PAR 2.0\0Main\0\0\0\0", 16};
inline constexpr std::string_view FileDescription{"PAR 2.0\0FileDesc", 16};
inline constexpr std::string_view SliceChecksums{"PAR 2.0\0IFSC\0\0\0\0", 16};
inline constexpr std::string_view RecoverySlice{"PAR 2.0\0RecvSlic", 16};
inline constexpr std::string_view Creator{"PAR 2.0\0Creator\0", 16};
} // namespace par2type

} // namespace darvolt
