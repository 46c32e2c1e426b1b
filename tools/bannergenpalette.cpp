#include "bannergenpalette.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>

namespace {

struct Entry
{
    QRgb rgb;
    std::uint64_t count;
};

int Channel(QRgb c, int axis) { return axis == 0 ? qRed(c) : axis == 1 ? qGreen(c) : qBlue(c); }

struct Box
{
    std::size_t begin, end;
    int axis = 0;
    int range = 0;
    std::uint64_t weight = 0;
};

void Measure(const std::vector<Entry> &entries, Box &box)
{
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    box.weight = 0;
    for (std::size_t i = box.begin; i < box.end; ++i) {
        for (int a = 0; a < 3; ++a) {
            lo[a] = std::min(lo[a], Channel(entries[i].rgb, a));
            hi[a] = std::max(hi[a], Channel(entries[i].rgb, a));
        }
        box.weight += entries[i].count;
    }
    box.axis = 0;
    box.range = hi[0] - lo[0];
    for (int a = 1; a < 3; ++a) {
        if (hi[a] - lo[a] > box.range) {
            box.range = hi[a] - lo[a];
            box.axis = a;
        }
    }
}

QRgb Average(const std::vector<Entry> &entries, const Box &box)
{
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i)
        for (int a = 0; a < 3; ++a)
            sum[a] += std::uint64_t(Channel(entries[i].rgb, a)) * entries[i].count;
    auto avg = [&](int a) { return int((sum[a] + box.weight / 2) / box.weight); };
    return qRgb(avg(0), avg(1), avg(2));
}

std::vector<QRgb> MedianCut(std::vector<Entry> entries, std::size_t wanted)
{
    std::vector<Box> boxes{Box{0, entries.size()}};
    Measure(entries, boxes[0]);
    while (boxes.size() < wanted) {
        // The box whose colours spread most, weighted by how much they are used.
        int best = -1;
        double bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            const double score = boxes[i].range * std::sqrt(double(boxes[i].weight));
            if (score > bestScore) {
                bestScore = score;
                best = int(i);
            }
        }
        if (best < 0)
            break;
        Box box = boxes[std::size_t(best)];
        const int axis = box.axis;
        std::sort(entries.begin() + std::ptrdiff_t(box.begin), entries.begin() + std::ptrdiff_t(box.end),
                  [axis](const Entry &a, const Entry &b) {
                      const int ca = Channel(a.rgb, axis), cb = Channel(b.rgb, axis);
                      return ca != cb ? ca < cb : a.rgb < b.rgb;
                  });
        std::uint64_t acc = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            acc += entries[i].count;
            split = i + 1;
            if (acc * 2 >= box.weight)
                break;
        }
        Box low{box.begin, split}, high{split, box.end};
        Measure(entries, low);
        Measure(entries, high);
        boxes[std::size_t(best)] = low;
        boxes.push_back(high);
    }
    std::vector<QRgb> colors;
    for (const Box &box : boxes)
        colors.push_back(Average(entries, box));
    return colors;
}

} // namespace

BannerPalette QuantizeBanner(const QList<QImage> &pictures, int reserved, QRgb reservedColor)
{
    std::map<QRgb, std::uint64_t> histogram; // ordered: the same input always gives the same cut
    for (const QImage &picture : pictures)
        for (int y = 0; y < picture.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                ++histogram[line[x] | 0xFF000000u];
        }
    std::vector<Entry> entries;
    for (const auto &[rgb, count] : histogram)
        entries.push_back({rgb, count});
    const std::vector<QRgb> cut = MedianCut(std::move(entries), 255);

    BannerPalette result;
    std::vector<int> entrySlots;
    for (int i = 0; i < 256; ++i)
        if (i != reserved)
            entrySlots.push_back(i);
    for (std::size_t i = 0; i < entrySlots.size(); ++i) {
        QRgb c = i < cut.size() ? cut[i] : qRgb(0, 0, 0);
        if ((c & RGB_MASK) == (reservedColor & RGB_MASK))
            c = qRgb(qRed(c) ^ 1, qGreen(c), qBlue(c));
        result.colors[std::size_t(entrySlots[i])] = c | 0xFF000000u;
    }
    result.colors[std::size_t(reserved)] = reservedColor | 0xFF000000u;

    std::unordered_map<QRgb, std::uint8_t> nearest;
    for (const QImage &picture : pictures) {
        std::vector<std::uint8_t> indices;
        indices.reserve(std::size_t(picture.width() * picture.height()));
        for (int y = 0; y < picture.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = line[x] | 0xFF000000u;
                auto it = nearest.find(c);
                if (it == nearest.end()) {
                    int best = -1;
                    long bestDistance = 0;
                    for (int slot : entrySlots) {
                        const QRgb p = result.colors[std::size_t(slot)];
                        const long dr = qRed(p) - qRed(c), dg = qGreen(p) - qGreen(c), db = qBlue(p) - qBlue(c);
                        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                        if (best < 0 || d < bestDistance) {
                            best = slot;
                            bestDistance = d;
                        }
                    }
                    it = nearest.emplace(c, std::uint8_t(best)).first;
                }
                indices.push_back(it->second);
            }
        }
        result.indexed.push_back(std::move(indices));
    }
    return result;
}
