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

inline QByteArray recovery(const QByteArray& setId, std::uint32_t exponent, const QByteArray& data)
{
    return packet(setId, type("RecvSlic"), number(exponent, 4) + data);
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
