#include "gif/giferrors.h"
#include "gif/lzwdecoder.h"
#include "gifbytes.h"

#include "bannergenlzw.h"

#include <QtTest>

#include <numeric>
#include <random>

using namespace darvolt;

using namespace gifbytes;

namespace {

// Decodes at 8 bits a pixel (or 1 or 4) and returns the pixel values, top
// row first.
std::vector<std::uint8_t> Decode(const QByteArray &stream, int width, int height, bool *corrupt = nullptr,
                                 bool interlaced = false, int pixelBits = 8, bool tolerant = true, int targetBits = 8)
{
    const std::size_t row = GifRowSize(width, targetBits);
    std::vector<std::uint8_t> buffer(row * std::size_t(height), 0);
    const bool bad = DecodeFrame(Span(stream), width, height, targetBits, interlaced, pixelBits, tolerant, buffer);
    if (corrupt)
        *corrupt = bad;
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t *line = buffer.data() + std::size_t(height - 1 - y) * row;
        for (int x = 0; x < width; ++x) {
            const int bit = x * targetBits;
            pixels.push_back(std::uint8_t((line[bit / 8] >> (8 - targetBits - bit % 8)) & ((1 << targetBits) - 1)));
        }
    }
    return pixels;
}

std::vector<std::uint8_t> Noise(std::size_t count, int bits, unsigned seed, int runLength)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> pixels;
    while (pixels.size() < count) {
        const auto value = std::uint8_t(random() & ((1u << bits) - 1));
        const std::size_t run = 1 + random() % unsigned(runLength);
        for (std::size_t i = 0; i < run && pixels.size() < count; ++i)
            pixels.push_back(value);
    }
    return pixels;
}

} // namespace

class TestLzwDecoder : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsEveryCodeSize_data()
    {
        QTest::addColumn<int>("codeSize");
        QTest::addColumn<int>("runLength");
        for (int c = 2; c <= 8; ++c) {
            // Short runs fill the table quickly (clears at 12 bits); long
            // runs make long strings and exercise every width on the way.
            QTest::addRow("size %d noisy", c) << c << 2;
            QTest::addRow("size %d runs", c) << c << 40;
        }
    }
    void roundTripsEveryCodeSize()
    {
        QFETCH(int, codeSize);
        QFETCH(int, runLength);
        const int width = 200, height = 150;
        const auto pixels = Noise(std::size_t(width * height), codeSize, unsigned(codeSize * 7 + runLength), runLength);
        const auto encoded = LzwEncode(pixels, codeSize);
        const QByteArray stream(reinterpret_cast<const char *>(encoded.data()), qsizetype(encoded.size()));
        bool corrupt = true;
        QCOMPARE(Decode(stream, width, height, &corrupt, false, codeSize), pixels);
        QVERIFY(!corrupt);
    }

    void literalCodesAtEveryWidthUpToTwelve()
    {
        // 5000 literal codes after one clear walk the width from 3 to 12 bits
        // and then run on with a full table and no clear.
        const auto pixels = Noise(5000, 2, 11, 1);
        const QByteArray stream = CodeStream(2, PackCodes(LiteralCodes(pixels, 2, false)));
        bool corrupt = true;
        QCOMPARE(Decode(stream, 100, 50, &corrupt, false, 2), pixels);
        QVERIFY(!corrupt);
    }

    void literalCodesWithClearsWhenFull()
    {
        const auto pixels = Noise(9000, 8, 5, 1);
        const QByteArray stream = CodeStream(8, PackCodes(LiteralCodes(pixels, 8, true)));
        QCOMPARE(Decode(stream, 90, 100), pixels);
    }

    void codeAtNextFreeSlotRepeatsPreviousString()
    {
        // clear, 1, then 6 = the slot about to be made: "1" + its first pixel.
        const QByteArray stream = CodeStream(2, PackCodes({{4, 3}, {1, 3}, {6, 3}, {5, 3}}));
        QCOMPARE(Decode(stream, 3, 1, nullptr, false, 2), (std::vector<std::uint8_t>{1, 1, 1}));
    }

    void tableEntriesFollowPrefixChains()
    {
        // clear, 0, 1, 6 (= "0 1"), 8 (next free: "0 1 0"), end.
        const QByteArray stream =
            CodeStream(2, PackCodes({{4, 3}, {0, 3}, {1, 3}, {6, 3}, {8, 4}, {5, 4}}));
        QCOMPARE(Decode(stream, 7, 1, nullptr, false, 2), (std::vector<std::uint8_t>{0, 1, 0, 1, 0, 1, 0}));
    }

    void codeSizeBelowColourDepthStillFindsTableEntries()
    {
        // A 256-colour frame whose data uses code size 2: code 6 is a table
        // entry ("2 3"), not the colour 6.
        const QByteArray stream =
            CodeStream(2, PackCodes({{4, 3}, {2, 3}, {3, 3}, {6, 3}, {5, 3}}));
        QCOMPARE(Decode(stream, 4, 1, nullptr, false, 8), (std::vector<std::uint8_t>{2, 3, 2, 3}));
    }

    void streamWithoutOpeningClearDecodes()
    {
        // 1, 2, 6 ("1 2"): no entry is made before the first code.
        const QByteArray stream = CodeStream(2, PackCodes({{1, 3}, {2, 3}, {6, 3}, {5, 3}}));
        QCOMPARE(Decode(stream, 4, 1, nullptr, false, 2), (std::vector<std::uint8_t>{1, 2, 1, 2}));
    }

    void clearFollowedByEndGivesNoPixel()
    {
        const QByteArray stream = CodeStream(2, PackCodes({{4, 3}, {4, 3}, {5, 3}}));
        bool corrupt = true;
        QCOMPARE(Decode(stream, 2, 1, &corrupt, false, 2), (std::vector<std::uint8_t>{0, 0}));
        QVERIFY(!corrupt);
    }

    void pixelValuesAreMaskedToTheColourDepth()
    {
        // Code size 3 carries 7; a 2-bit frame keeps only 3.
        const QByteArray stream = CodeStream(3, PackCodes({{8, 4}, {7, 4}, {9, 4}}));
        QCOMPARE(Decode(stream, 1, 1, nullptr, false, 2), (std::vector<std::uint8_t>{3}));
    }

    void dataEndingEarlyMarksCorruptAndKeepsRowsAtZero()
    {
        const QByteArray full = PackCodes(LiteralCodes({1, 2, 3, 1, 2, 3, 1, 2, 3}, 2, true));
        const QByteArray stream = CodeStream(2, full.left(2), 255, false); // about 4 codes
        bool corrupt = false;
        const auto pixels = Decode(stream, 3, 3, &corrupt, false, 2);
        QVERIFY(corrupt);
        QCOMPARE(pixels[0], std::uint8_t(1));
        QCOMPARE(pixels[8], std::uint8_t(0));
    }

    void dataEndingAfterLastPixelWithoutEndCodeIsComplete()
    {
        auto codes = LiteralCodes({1, 2, 3, 0}, 2, true);
        codes.pop_back(); // no end code
        bool corrupt = true;
        QCOMPARE(Decode(CodeStream(2, PackCodes(codes), 255, false), 2, 2, &corrupt, false, 2),
                 (std::vector<std::uint8_t>{1, 2, 3, 0}));
        QVERIFY(!corrupt);
    }

    void pixelsNoCodeWroteKeepIndexZero_data()
    {
        // A 32 x 2 frame, code size 5: row 0 is the literals 0 to 31, which
        // leaves the codes 7 bits wide and the next free slot at 65; then
        // the tail codes, and an end code or nothing.
        QTest::addColumn<QList<unsigned>>("tail");
        QTest::addColumn<bool>("endCode");
        QTest::addColumn<QByteArray>("row1");
        QTest::newRow("one literal, end") << QList<unsigned>{5} << true << Bytes({5});
        QTest::newRow("one literal, data stops") << QList<unsigned>{5} << false << Bytes({5});
        QTest::newRow("entry of two, end") << QList<unsigned>{40} << true << Bytes({6, 7});
        QTest::newRow("the entry being made, end") << QList<unsigned>{65} << true << Bytes({31, 31});
        QTest::newRow("literal after an entry, data stops") << QList<unsigned>{40, 9} << false << Bytes({6, 7, 9});
        QTest::newRow("fifteen literals, end") << QList<unsigned>(15, 3) << true << QByteArray(15, 3);
        QTest::newRow("sixteen literals, data stops") << QList<unsigned>(16, 3) << false << QByteArray(16, 3);
        QTest::newRow("thirty-one literals, end") << QList<unsigned>(31, 30) << true << QByteArray(31, 30);
        QTest::newRow("whole row") << QList<unsigned>(32, 30) << true << QByteArray(32, 30);
    }
    void pixelsNoCodeWroteKeepIndexZero()
    {
        QFETCH(QList<unsigned>, tail);
        QFETCH(bool, endCode);
        QFETCH(QByteArray, row1);
        std::vector<std::uint8_t> row0(32);
        std::iota(row0.begin(), row0.end(), std::uint8_t(0));
        auto codes = LiteralCodes(row0, 5, false);
        codes.pop_back(); // the end code
        for (unsigned code : tail)
            codes.push_back({code, 7});
        if (endCode)
            codes.push_back({33, 7});
        const QByteArray stream = CodeStream(5, PackCodes(codes));
        const bool complete = endCode || row1.size() == 32;
        for (const auto &[targetBits, pixelBits] : {std::pair{8, 5}, std::pair{4, 4}, std::pair{1, 1}}) {
            std::vector<std::uint8_t> expected(64, 0);
            const int mask = (1 << pixelBits) - 1;
            for (int x = 0; x < 32; ++x)
                expected[std::size_t(x)] = std::uint8_t(x & mask);
            for (int x = 0; x < row1.size(); ++x)
                expected[std::size_t(32 + x)] = std::uint8_t(row1[x] & mask);
            bool corrupt = false;
            QCOMPARE(Decode(stream, 32, 2, &corrupt, false, pixelBits, true, targetBits), expected);
            QCOMPARE(corrupt, !complete);
        }
    }

    void codesSpanSubBlockBoundaries()
    {
        const auto pixels = Noise(600, 8, 3, 3);
        const auto encoded = LzwEncode(pixels, 8);
        QByteArray data(reinterpret_cast<const char *>(encoded.data()), qsizetype(encoded.size()));
        // Re-block the same bits into sub-blocks of one to three bytes.
        QByteArray joined;
        for (int pos = 1; pos < data.size();) {
            const int n = std::uint8_t(data[pos]);
            joined.append(data.mid(pos + 1, n));
            pos += 1 + n;
            if (n == 0)
                break;
        }
        QCOMPARE(Decode(CodeStream(8, joined, 1), 30, 20), pixels);
        QCOMPARE(Decode(CodeStream(8, joined, 3), 30, 20), pixels);
    }

    void loopingPrefixChainIsCorrupt()
    {
        // clear, 1, 7 (beyond the next free code: entry 6 = prefix 1), 1
        // (entry 7 = prefix 7: a loop), 7 at 4 bits follows the loop.
        const QByteArray stream = CodeStream(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {1, 3}, {7, 4}, {5, 4}}));
        bool corrupt = false;
        const auto pixels = Decode(stream, 8, 1, &corrupt, false, 2, true);
        QVERIFY(corrupt);
        QCOMPARE(pixels[5], std::uint8_t(0)); // the stacked pixels are not written
        try {
            Decode(stream, 8, 1, nullptr, false, 2, false);
            QFAIL("no error");
        } catch (const EInvalidGraphicOperation &e) {
            QCOMPARE(QString(e.what()), QString("GIF encoded data is corrupt"));
        }
    }

    void codeSizeOutOfRangeRaises_data()
    {
        QTest::addColumn<int>("codeSize");
        QTest::newRow("0") << 0;
        QTest::newRow("1") << 1;
        QTest::newRow("10") << 10;
        QTest::newRow("255") << 255;
    }
    void codeSizeOutOfRangeRaises()
    {
        QFETCH(int, codeSize);
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphicOperation,
                                 Decode(CodeStream(codeSize, Bytes({0, 0})), 1, 1));
        try {
            Decode(CodeStream(codeSize, Bytes({0, 0})), 1, 1);
        } catch (const EInvalidGraphicOperation &e) {
            QCOMPARE(QString(e.what()), QString("GIF code size not in range 2 to 9"));
        }
    }

    void emptyCodeStreamRaisesCodeSize()
    {
        QVERIFY_THROWS_EXCEPTION(EInvalidGraphicOperation, Decode(QByteArray(), 1, 1));
    }

    void interlacedRowsLand_data()
    {
        QTest::addColumn<int>("height");
        for (int h = 1; h <= 9; ++h)
            QTest::addRow("height %d", h) << h;
    }
    void interlacedRowsLand()
    {
        QFETCH(int, height);
        std::vector<int> order;
        for (int start : {0, 4, 2, 1}) {
            const int step = start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2;
            for (int y = start; y < height; y += step)
                order.push_back(y);
        }
        // Row k of the stream holds the value k + 1.
        std::vector<std::uint8_t> streamRows;
        for (int k = 0; k < height; ++k)
            streamRows.push_back(std::uint8_t(k + 1));
        const QByteArray stream = CodeStream(4, PackCodes(LiteralCodes(streamRows, 4, true)));
        const auto pixels = Decode(stream, 1, height, nullptr, true, 4);
        for (int k = 0; k < height; ++k)
            QCOMPARE(int(pixels[std::size_t(order[std::size_t(k)])]), k + 1);
    }

    void heightFiveInterlacedOrder()
    {
        const QByteArray stream = CodeStream(4, PackCodes(LiteralCodes({1, 2, 3, 4, 5}, 4, true)));
        // Stream rows go to image rows 0, 4, 2, 1, 3.
        QCOMPARE(Decode(stream, 1, 5, nullptr, true, 4), (std::vector<std::uint8_t>{1, 4, 3, 5, 2}));
    }

    void packsOneFourAndEightBits_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QByteArray>("bottomRow");
        QTest::addColumn<QByteArray>("topRow");
        // 9 pixels a row: top 1 0 1 1 0 0 0 1 1, bottom all 1.
        QTest::newRow("1 bit") << 1 << Bytes({0xFF, 0x80, 0, 0}) << Bytes({0xB1, 0x80, 0, 0});
        QTest::newRow("4 bits") << 4 << Bytes({0x11, 0x11, 0x11, 0x11, 0x10, 0, 0, 0})
                                << Bytes({0x10, 0x11, 0x00, 0x01, 0x10, 0, 0, 0});
        QTest::newRow("8 bits") << 8 << Bytes({1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0})
                                << Bytes({1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 0, 0});
    }
    void packsOneFourAndEightBits()
    {
        QFETCH(int, bits);
        QFETCH(QByteArray, bottomRow);
        QFETCH(QByteArray, topRow);
        const std::vector<std::uint8_t> pixels{1, 0, 1, 1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        const QByteArray stream = CodeStream(2, PackCodes(LiteralCodes(pixels, 2, true)));
        const std::size_t row = GifRowSize(9, bits);
        QCOMPARE(row, std::size_t(bottomRow.size()));
        std::vector<std::uint8_t> buffer(row * 2, 0xEE);
        std::fill(buffer.begin(), buffer.end(), 0);
        QVERIFY(!DecodeFrame(Span(stream), 9, 2, bits, false, 1, true, buffer));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data()), qsizetype(row)), bottomRow);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer.data() + row), qsizetype(row)), topRow);
    }

    void widthOneRowsArePaddedToFourBytes()
    {
        QCOMPARE(GifRowSize(1, 8), std::size_t(4));
        QCOMPARE(GifRowSize(1, 1), std::size_t(4));
        QCOMPARE(GifRowSize(33, 1), std::size_t(8));
        const QByteArray stream = CodeStream(2, PackCodes(LiteralCodes({3, 2}, 2, true)));
        std::vector<std::uint8_t> buffer(8, 0);
        DecodeFrame(Span(stream), 1, 2, 8, false, 2, true, buffer);
        QCOMPARE(buffer, (std::vector<std::uint8_t>{2, 0, 0, 0, 3, 0, 0, 0}));
    }

    void tooSmallBufferIsRefused()
    {
        std::vector<std::uint8_t> buffer(3);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 DecodeFrame(Span(CodeStream(2, Bytes({0}))), 1, 1, 8, false, 2, true, buffer));
    }

    void reportsProgressStages()
    {
        const auto pixels = Noise(400, 8, 9, 2);
        const auto encoded = LzwEncode(pixels, 8);
        std::vector<std::uint8_t> buffer(GifRowSize(20, 8) * 20);
        std::vector<std::pair<int, int>> events;
        DecodeFrame(encoded, 20, 20, 8, false, 8, true, buffer,
                    [&](int stage, int percent, const std::string &) { events.push_back({stage, percent}); });
        QVERIFY(events.size() > 3);
        QCOMPARE(events.front(), std::make_pair(0, 0));
        QCOMPARE(events.back(), std::make_pair(2, 100));
        for (std::size_t i = 2; i + 1 < events.size(); ++i) {
            QCOMPARE(events[i].first, 1);
            QVERIFY(events[i].second >= events[i - 1].second);
            QVERIFY(events[i].second <= 100);
        }
    }

    void reportsTheErrorThatEndsDecoding()
    {
        std::vector<std::uint8_t> buffer(8);
        std::string message;
        int percent = -1;
        const QByteArray stream = CodeStream(2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {1, 3}, {7, 4}}));
        try {
            DecodeFrame(Span(stream), 8, 1, 8, false, 2, false, buffer,
                        [&](int stage, int p, const std::string &m) {
                            if (stage == 2) {
                                message = m;
                                percent = p;
                            }
                        });
        } catch (const EInvalidGraphicOperation &) {
        }
        QCOMPARE(QString::fromStdString(message), QString("GIF encoded data is corrupt"));
        QCOMPARE(percent, 0);
    }
};

QTEST_APPLESS_MAIN(TestLzwDecoder)
#include "tst_lzwdecoder.moc"
