#include "toolkit/cursors.h"

#include <QHash>
#include <QImage>
#include <QPixmap>

#include <cstring>
#include <utility>

namespace darvolt {

namespace {

struct Entry
{
    std::function<QCursor()> make;
    QCursor cursor;
};

QHash<TCursor, Entry> &table()
{
    static QHash<TCursor, Entry> cursors;
    return cursors;
}

} // namespace

void RegisterCursor(TCursor id, const QCursor &cursor)
{
    table().insert(id, Entry{nullptr, cursor});
}

void RegisterCursor(TCursor id, std::function<QCursor()> make)
{
    table().insert(id, Entry{std::move(make), QCursor()});
}

bool HasCursor(TCursor id)
{
    return table().contains(id);
}

QCursor CursorById(TCursor id)
{
    const auto it = table().find(id);
    if (it == table().end())
        return QCursor(Qt::ArrowCursor);
    if (it->make) {
        it->cursor = it->make();
        it->make = nullptr;
    }
    return it->cursor;
}

QCursor CursorFromArt(const char *const rows[], int rowCount, QPoint hotSpot, int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < rowCount && y < size; ++y) {
        const int length = int(std::strlen(rows[y]));
        for (int x = 0; x < length && x < size; ++x) {
            if (rows[y][x] == '#')
                image.setPixel(x, y, qRgb(0, 0, 0));
            else if (rows[y][x] == '.')
                image.setPixel(x, y, qRgb(255, 255, 255));
        }
    }
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

} // namespace darvolt
