#include "split/sparsecompare.h"

#include <QList>
#include <QPair>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The next offset at or after pos that holds data, or `end` when none does.
off_t nextData(int fd, off_t pos, off_t end)
{
    const off_t data = ::lseek(fd, pos, SEEK_DATA);
    if (data < 0)
        return errno == ENXIO ? end : pos;
    return std::min(data, end);
}

bool readFully(int fd, char* buffer, std::size_t n, off_t at)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, buffer + done, n - done, at + off_t(done));
        if (r <= 0)
            return false;
        done += std::size_t(r);
    }
    return true;
}

} // namespace

bool rangesEqual(int a, off_t aOffset, int b, off_t bOffset, off_t length, QString* why)
{
    constexpr off_t chunk = 1 << 20;
    std::vector<char> ba(chunk), bb(chunk);
    off_t done = 0;
    while (done < length) {
        const off_t da = nextData(a, aOffset + done, aOffset + length) - aOffset;
        const off_t db = nextData(b, bOffset + done, bOffset + length) - bOffset;
        const off_t bothHoles = std::min(da, db);
        if (bothHoles > done) {
            done = bothHoles;
            continue;
        }
        const off_t n = std::min(chunk, length - done);
        if (!readFully(a, ba.data(), std::size_t(n), aOffset + done)
            || !readFully(b, bb.data(), std::size_t(n), bOffset + done)) {
            *why = QString("short read at %1").arg(done);
            return false;
        }
        if (std::memcmp(ba.data(), bb.data(), std::size_t(n)) != 0) {
            *why = QString("difference within [%1, %2)").arg(done).arg(done + n);
            return false;
        }
        done += n;
    }
    return true;
}

bool makeSparseFile(const QByteArray& path, off_t size, const QList<QPair<off_t, QByteArray>>& blocks)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, size) == 0;
    for (const auto& [offset, bytes] : blocks)
        ok = ok && ::pwrite(fd, bytes.constData(), std::size_t(bytes.size()), offset) == bytes.size();
    struct stat st {};
    ok = ok && ::fstat(fd, &st) == 0 && st.st_blocks * 512 < size / 2;
    ::close(fd);
    return ok;
}
