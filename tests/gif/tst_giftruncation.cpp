// The banner cut short at many places: every frame that is read must hold
// exactly the pixels a plain decoder finds in its data, and index 0 where
// the data stops.

#include "gif/gifimage.h"

#include <QFile>
#include <QtTest>

#include <vector>

using namespace darvolt;

namespace {

// LZW as the format describes it, kept simple rather than fast: every table
// entry is a whole string. Stops at the end code, where the data runs out
// and at a code that names no string; pixels it does not reach are 0.
std::vector<std::uint8_t> ReferenceIndices(const std::vector<std::uint8_t> &codeStream, int width, int height,
                                           bool interlaced, int pixelBits)
{
    std::vector<std::uint8_t> data;
    for (std::size_t pos = 1; pos < codeStream.size();) {
        const std::size_t count = std::min<std::size_t>(codeStream[pos], codeStream.size() - pos - 1);
        ++pos;
        if (count == 0)
            break;
        data.insert(data.end(), codeStream.begin() + qsizetype(pos), codeStream.begin() + qsizetype(pos + count));
        pos += count;
    }
    const int codeSize = codeStream.at(0);
    const unsigned clear = 1u << codeSize;
    const std::size_t total = std::size_t(width) * std::size_t(height);
    std::vector<std::vector<std::uint8_t>> table;
    std::vector<std::uint8_t> previous;
    int codeWidth = 0;
    const auto restart = [&] {
        table.assign(clear + 2, {});
        for (unsigned root = 0; root < clear; ++root)
            table[root] = {std::uint8_t(root & ((1u << pixelBits) - 1))};
        codeWidth = codeSize + 1;
        previous.clear();
    };
    restart();
    std::vector<std::uint8_t> out;
    for (std::size_t bit = 0; out.size() < total && bit + std::size_t(codeWidth) <= data.size() * 8;) {
        unsigned code = 0;
        for (int i = 0; i < codeWidth; ++i, ++bit)
            code |= unsigned((data[bit / 8] >> (bit % 8)) & 1) << i;
        if (code == clear) {
            restart();
            continue;
        }
        if (code == clear + 1)
            break;
        std::vector<std::uint8_t> string;
        if (code < table.size() && !table[code].empty()) {
            string = table[code];
        } else if (code == table.size() && !previous.empty()) {
            string = previous;
            string.push_back(previous.front());
        } else {
            break;
        }
        if (!previous.empty() && table.size() < 4096) {
            table.push_back(previous);
            table.back().push_back(string.front());
            if (table.size() == (1u << codeWidth) && codeWidth < 12)
                ++codeWidth;
        }
        out.insert(out.end(), string.begin(), string.end());
        previous = std::move(string);
    }
    out.resize(total, 0);

    std::vector<int> rowOrder; // image row of each row in the data
    for (const auto &[first, step] : interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                                : std::vector<std::pair<int, int>>{{0, 1}})
        for (int y = first; y < height; y += step)
            rowOrder.push_back(y);
    std::vector<std::uint8_t> indices(total, 0);
    for (int k = 0; k < height; ++k) {
        const int y = rowOrder[std::size_t(k)];
        std::copy_n(out.begin() + qsizetype(k) * width, width, indices.begin() + qsizetype(y) * width);
    }
    return indices;
}

std::vector<std::uint8_t> Indices(const QImage &bitmap)
{
    std::vector<std::uint8_t> indices;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            indices.push_back(std::uint8_t(bitmap.pixelIndex(x, y)));
    return indices;
}

QByteArray BannerGif()
{
    QFile file(QStringLiteral(DARVOLT_BANNER_FILE));
    return file.open(QIODevice::ReadOnly) ? file.readAll().mid(4) : QByteArray();
}

} // namespace

class TestGifTruncation : public QObject
{
    Q_OBJECT

private slots:
    void truncatedBannerMatchesAPlainDecoder_data()
    {
        QTest::addColumn<int>("cut");
        const qsizetype size = BannerGif().size();
        QVERIFY(size > 20000);
        // Cuts spread over the frames (the header and palette take the
        // first 820 bytes), each a little off the last, so that the data
        // stops at many places inside strings and rows.
        for (int k = 0; k < 40; ++k)
            QTest::addRow("%d of 40", k) << int(830 + (size - 830) * k / 40 + 7 * k);
    }
    void truncatedBannerMatchesAPlainDecoder()
    {
        QFETCH(int, cut);
        TGIFImage image;
        try {
            image.ReadGif(BannerGif().left(cut), false);
        } catch (const std::exception &) {
            // A cut inside a block header keeps the frames before it.
        }
        QVERIFY(image.FrameCount() > 0);
        for (int i = 0; i < image.FrameCount(); ++i) {
            TGIFFrame &frame = *image.Frame(i);
            const TGIFItem &item = *frame.EncodedImage;
            const auto expected = ReferenceIndices(item.CodeStream, item.PixelWidth, item.PixelHeight,
                                                   frame.IsInterlaced, item.PixelBits);
            QVERIFY2(Indices(frame.Bitmap()) == expected, qPrintable(QString("frame %1").arg(i)));
        }
    }
};

QTEST_APPLESS_MAIN(TestGifTruncation)
#include "tst_giftruncation.moc"
