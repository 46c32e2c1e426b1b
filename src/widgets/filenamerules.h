#pragma once

#include <QString>

namespace darvolt {

// The file-name rules of the file-name edit.

// The name a text stands for: the text itself when a file of exactly that
// name exists, else its first token read with command-line rules (leading
// blanks and control characters skipped, double quotes grouping blanks and
// not copied, the token ending at the first blank outside quotes).
QString CleanFileName(const QString &text);

// Not empty and free of < > " [ ] |.
bool IsValidFileName(const QString &name);

// Wraps a name holding a blank in double quotes, unless it already starts
// with one. A name without blanks is never quoted.
QString QuoteFileName(const QString &name);

// The folder part of a path, up to and including its last separator, and the
// part after it.
QString ExtractFilePath(const QString &path);
QString ExtractFileName(const QString &path);

} // namespace darvolt
