#pragma once
// Comparing large, mostly sparse files without reading their holes.

#include <QString>

#include <sys/types.h>

// True when `length` bytes of file a from aOffset equal those of b from
// bOffset. Ranges where both files have holes are skipped; everything else is
// read and compared. `why` receives the first difference.
bool rangesEqual(int a, off_t aOffset, int b, off_t bOffset, off_t length, QString* why);

// Makes a sparse file of `size` bytes whose only data are the given blocks
// (offset, bytes), and returns whether the file system kept it sparse.
bool makeSparseFile(const QByteArray& path, off_t size, const QList<QPair<off_t, QByteArray>>& blocks);
