#include "widgets/filenamerules.h"

#include <QFileInfo>

namespace darvolt {

namespace {

// The first command-line token of the text. Tokens are not cut at any
// length: a long path stays whole.
QString firstToken(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    for (;;) {
        while (i < n && text[i].unicode() >= 1 && text[i].unicode() <= 32)
            ++i;
        if (i + 1 < n && text[i] == u'"' && text[i + 1] == u'"')
            i += 2;
        else
            break;
    }
    QString token;
    bool quoted = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && c.unicode() < 33)
            break;
        token += c;
    }
    return token;
}

qsizetype lastSeparator(const QString &path)
{
    return path.lastIndexOf(u'/');
}

} // namespace

QString CleanFileName(const QString &text)
{
    if (!text.isEmpty() && QFileInfo::exists(text))
        return text;
    return firstToken(text);
}

bool IsValidFileName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name)
        if (c == u'<' || c == u'>' || c == u'"' || c == u'[' || c == u']' || c == u'|')
            return false;
    return true;
}

QString QuoteFileName(const QString &name)
{
    if (name.contains(u' ') && !name.startsWith(u'"'))
        return u'"' + name + u'"';
    return name;
}

QString ExtractFilePath(const QString &path)
{
    return path.left(lastSeparator(path) + 1);
}

QString ExtractFileName(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

} // namespace darvolt
