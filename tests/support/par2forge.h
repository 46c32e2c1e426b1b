#pragma once
// PAR2 packets written the way anyone could write them, from the format's
// public layout and with Qt's own MD5, so that tests can hand the program
// recovery data made to harm it without going through the program's own
// writer: a 64-byte header (magic, length, the MD5 of what follows the
// hash, the set ID, the type), then the body; numbers little-endian,
// lengths a multiple of 4.

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>

#include <cstdint>

namespace par2forge {

inline QByteArray number(std::uint64_t value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char(value >> (8 * i) & 0xff);
    return out;
}

inline QByteArray md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5);
}

inline QByteArray type(const char* name) // "Main", "FileDesc", "IFSC", "RecvSlic"
{
    QByteArray out("PAR 2.0\0", 8);
    out += QByteArray(name).leftJustified(8, '\0');
    return out;
}

// A packet whose hash holds (or, with `damaged`, does not).
inline QByteArray packet(const QByteArray& setId, const QByteArray& type16, QByteArray body, bool damaged = false)
{
    body += QByteArray((4 - body.size() % 4) % 4, '\0');
    const QByteArray tail = setId + type16 + body;
    QByteArray hash = md5(tail);
    if (damaged)
        hash[0] = char(hash[0] ^ 1);
    return QByteArray("PAR2\0PKT", 8) + number(std::uint64_t(32 + tail.size()), 8) + hash + tail;
}

struct File {
    QByteArray name;
    QByteArray data;
    QByteArray first16k() const { return md5(data.left(16384)); }
    QByteArray id() const { return md5(first16k() + number(std::uint64_t(data.size()), 8) + name); }
};

inline QByteArray mainBody(std::uint64_t sliceSize, const QList<QByteArray>& ids)
{
    QByteArray body = number(sliceSize, 8) + number(std::uint64_t(ids.size()), 4);
    for (const QByteArray& id : ids)
        body += id;
    return body;
}

inline QByteArray description(const QByteArray& setId, const File& file)
{
    return packet(setId, type("FileDesc"),
                  file.id() + md5(file.data) + file.first16k() + number(std::uint64_t(file.data.size()), 8) + file.name);
}

inline QByteArray sliceChecksums(const QByteArray& setId, const QByteArray& fileId, const QByteArray& md5,
                                 std::uint32_t crc)
{
    return packet(setId, type("IFSC"), fileId + md5 + number(crc, 4));
}

inline QByteArray recovery(const QByteArray& setId, std::uint32_t exponent, const QByteArray& data,
                           bool damaged = false)
{
    return packet(setId, type("RecvSlic"), number(exponent, 4) + data, damaged);
}

// The packets of a file as par2 create writes it: one after another.
struct Packet {
    QByteArray setId;
    QByteArray type;
    QByteArray body;
};
inline QList<Packet> packetsIn(const QByteArray& file)
{
    QList<Packet> packets;
    for (qsizetype at = 0; at + 64 <= file.size();) {
        std::uint64_t length = 0;
        for (int i = 7; i >= 0; --i)
            length = length << 8 | std::uint8_t(file[at + 8 + i]);
        if (length < 64 || at + qsizetype(length) > file.size())
            break;
        packets.push_back({file.mid(at + 32, 16), file.mid(at + 48, 16), file.mid(at + 64, qsizetype(length) - 64)});
        at += qsizetype(length);
    }
    return packets;
}

// CRC32 as zlib and PAR2 take it, bit by bit.
inline std::uint32_t crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Changes byte 10 and then four bytes at 100 so that the CRC32 of the
// whole stays what it was: CRC32 is linear, so the four bytes come from a
// system over GF(2) of the effect each of their 32 bits has.
inline void damageKeepingCrc(QByteArray& bytes)
{
    const std::uint32_t before = crc32(bytes);
    bytes[10] = char(bytes[10] ^ 0x5A);
    const std::uint32_t now = crc32(bytes);
    std::uint64_t basis[32] = {}; // effect bits | the bit's own flag above them
    for (int bit = 0; bit < 32; ++bit) {
        QByteArray flipped = bytes;
        flipped[100 + bit / 8] = char(flipped[100 + bit / 8] ^ (1 << (bit % 8)));
        std::uint64_t row = (crc32(flipped) ^ now) | (std::uint64_t(1) << (32 + bit));
        for (int b = 31; b >= 0 && row != 0; --b)
            if ((row >> b) & 1) {
                if (basis[b] == 0) {
                    basis[b] = row;
                    break;
                }
                row ^= basis[b];
            }
    }
    std::uint64_t want = now ^ before;
    std::uint64_t choice = 0;
    for (int b = 31; b >= 0; --b)
        if ((want >> b) & 1) {
            want ^= basis[b] & 0xFFFFFFFF;
            choice ^= basis[b] >> 32;
        }
    for (int bit = 0; bit < 32; ++bit)
        if ((choice >> bit) & 1)
            bytes[100 + bit / 8] = char(bytes[100 + bit / 8] ^ (1 << (bit % 8)));
}

// The set ID and the main packet of files in this order.
struct Set {
    QByteArray id;
    QByteArray critical; // main and descriptions
};

inline Set setOf(std::uint64_t sliceSize, const QList<File>& files)
{
    QList<QByteArray> ids;
    for (const File& file : files)
        ids << file.id();
    const QByteArray body = mainBody(sliceSize, ids);
    Set set{md5(body), {}};
    set.critical = packet(set.id, type("Main"), body);
    for (const File& file : files)
        set.critical += description(set.id, file);
    return set;
}

} // namespace par2forge
