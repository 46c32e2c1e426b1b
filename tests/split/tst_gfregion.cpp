// GF(2^16) regions, both ways the program works them (the processor's bit
// matrices and gf-complete's tables), against single products from the
// log tables: a part multiplied into a recovery slice must give the words
// PAR2 readers compute, whichever machine wrote it.

#include "parts/gf16.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

using namespace darvolt;

class tst_GfRegion : public QObject {
    Q_OBJECT

private slots:
    void regionsMatchSingleProducts_data();
    void regionsMatchSingleProducts();
};

void tst_GfRegion::regionsMatchSingleProducts_data()
{
    QTest::addColumn<bool>("gfni");
    QTest::addColumn<int>("words");
    for (const bool gfni : {false, true}) {
        const char* way = gfni ? "bit matrices" : "gf-complete";
        QTest::addRow("%s, one unit", way) << gfni << 64;
        QTest::addRow("%s, many units and a short end", way) << gfni << 64 * 37 + 5;
    }
}

void tst_GfRegion::regionsMatchSingleProducts()
{
    QFETCH(bool, gfni);
    QFETCH(int, words);
    const GfRegion region(gfni);
    if (gfni && std::string_view(region.method()) != "GFNI")
        QSKIP("this processor has no GFNI and AVX-512");
    QRandomGenerator random(words);
    const std::size_t bytes = GfUnits(static_cast<std::size_t>(words) * 2);
    const std::vector<std::uint16_t> factors{0, 1, 2, 0x8000, 0x1234, 0xFFFF};
    std::vector<std::vector<std::uint16_t>> plain(factors.size(), std::vector<std::uint16_t>(static_cast<std::size_t>(words)));
    std::vector<AlignedBytes> worked;
    std::vector<const std::byte*> sources;
    std::vector<GfRegion::Factor> prepared;
    std::vector<std::uint16_t> expected(static_cast<std::size_t>(words), 0x5A5A);
    for (std::size_t i = 0; i < factors.size(); ++i) {
        for (auto& word : plain[i])
            word = static_cast<std::uint16_t>(random.bounded(65536));
        worked.push_back(AllocateAligned(bytes));
        region.toWorking(std::as_bytes(std::span(plain[i])), worked.back().get(), bytes);
        sources.push_back(worked.back().get());
        prepared.push_back(GfRegion::prepare(factors[i]));
        for (std::size_t w = 0; w < plain[i].size(); ++w)
            expected[w] ^= GfMultiply(plain[i][w], factors[i]);
    }
    AlignedBytes target = AllocateAligned(bytes);
    const std::vector<std::uint16_t> start(static_cast<std::size_t>(words), 0x5A5A);
    region.toWorking(std::as_bytes(std::span(start)), target.get(), bytes);
    region.multiplyAddMany(sources.data(), prepared.data(), sources.size(), target.get(), bytes);
    std::vector<std::uint16_t> sum(static_cast<std::size_t>(words));
    region.fromWorking(target.get(), std::as_writable_bytes(std::span(sum)));
    QVERIFY(sum == expected);

    // A product alone, and a value times its inverse.
    region.multiply(sources[4], target.get(), GfInverse(0x1234), bytes);
    region.multiply(target.get(), target.get(), 0x1234, bytes);
    region.fromWorking(target.get(), std::as_writable_bytes(std::span(sum)));
    QVERIFY(sum == plain[4]);
}

QTEST_GUILESS_MAIN(tst_GfRegion)
#include "tst_gfregion.moc"
