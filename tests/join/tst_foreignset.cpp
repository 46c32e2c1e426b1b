// Other tools' sets as the join reads them: which convention a part's name
// follows among the names beside it, the .crc file of Windows file
// managers, and what a checksum list says of a set.
// (tst_foreignsets joins real sets of GNU split and 7z.)

#include "join/checksumlist.h"
#include "join/crcfile.h"
#include "join/foreignset.h"
#include "parts/hasher.h"

#include <QTest>

using namespace darvolt;

namespace {

std::vector<std::string> strings(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

} // namespace

class tst_ForeignSet : public QObject {
    Q_OBJECT

private slots:
    void readsTheNamingThatFitsTheFolder_data();
    void readsTheNamingThatFitsTheFolder();
    void readsCrcFiles_data();
    void readsCrcFiles();
    void listsTellThePartsAndTheWhole_data();
    void listsTellThePartsAndTheWhole();
};

void tst_ForeignSet::readsTheNamingThatFitsTheFolder_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("named");
    QTest::addColumn<QStringList>("names"); // "index=name" of the naming found; empty: none
    QTest::newRow("split's default") << QStringList{"xaa", "xab", "xac"} << "xab" << QStringList{"0=xaa", "26=xba", "650=xzaaa"};
    QTest::newRow("the first part missing") << QStringList{"xab", "xac", "xad"} << "xac" << QStringList{"0=xaa", "3=xad"};
    QTest::newRow("digits, ten parts or fewer") << QStringList{"x00", "x01", "x02"} << "x01" << QStringList{"10=x10", "90=x9000"};
    QTest::newRow("hex digits") << QStringList{"x00", "x01", "x02", "x03", "x04", "x05", "x06", "x07", "x08", "x09",
                                               "x0a", "x0b"}
                                << "x0a" << QStringList{"10=x0a", "16=x10"};
    QTest::newRow("7-Zip volumes") << QStringList{"a.7z.001", "a.7z.002"} << "a.7z.002"
                                   << QStringList{"0=a.7z.001", "999=a.7z.1000"};
    QTest::newRow("numbered from .000") << QStringList{"foo.000", "foo.001"} << "foo.001" << QStringList{"0=foo.000"};
    QTest::newRow("stray names of the counter's length") << QStringList{"xaa", "xab", "abc", "foo", "bar", "zip"}
                                                         << "xab" << QStringList{"0=xaa", "2=xac"};
    QTest::newRow("a file of its own") << QStringList{"notes.txt", "other"} << "notes.txt" << QStringList{};
    QTest::newRow("a lone number") << QStringList{"report.2023"} << "report.2023" << QStringList{};
}

void tst_ForeignSet::readsTheNamingThatFitsTheFolder()
{
    QFETCH(QStringList, files);
    QFETCH(QString, named);
    QFETCH(QStringList, names);
    const auto naming = RecogniseNaming(named.toStdString(), strings(files));
    QCOMPARE(naming.has_value(), !names.isEmpty());
    for (const QString& pair : names) {
        const std::int64_t index = pair.section('=', 0, 0).toLongLong();
        const std::string name = pair.section('=', 1).toStdString();
        QCOMPARE(naming->name(index), name);
        QCOMPARE(naming->indexOf(name), std::optional(index));
    }
}

void tst_ForeignSet::readsCrcFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("read"); // "name size crc", empty: no .crc file
    QTest::newRow("as written on Windows") << QByteArray("filename=foo\r\nsize=432998467868\r\ncrc32=21EB719A\r\n")
                                           << "foo 432998467868 21eb719a";
    QTest::newRow("line feeds, keys of its own") << QByteArray("version=2\nfilename=a b\ncrc32=0000abcd\nsize=0")
                                                 << "a b 0 0000abcd";
    QTest::newRow("no CRC") << QByteArray("filename=foo\nsize=1\n") << "";
    QTest::newRow("a name with a folder") << QByteArray("filename=../foo\nsize=1\ncrc32=21EB719A\n") << "";
    QTest::newRow("a short CRC") << QByteArray("filename=foo\nsize=1\ncrc32=21EB71\n") << "";
    QTest::newRow("a size of words") << QByteArray("filename=foo\nsize=big\ncrc32=21EB719A\n") << "";
    QTest::newRow("two names") << QByteArray("filename=foo\nfilename=bar\nsize=1\ncrc32=21EB719A\n") << "";
}

void tst_ForeignSet::readsCrcFiles()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, read);
    const auto crc = ParseCrcText(text.toStdString());
    QCOMPARE(crc.has_value(), !read.isEmpty());
    if (crc)
        QCOMPARE(QString::fromStdString(crc->name + " " + std::to_string(crc->size) + " " + crc->crc.hex()), read);
}

void tst_ForeignSet::listsTellThePartsAndTheWhole_data()
{
    QTest::addColumn<QStringList>("names"); // listed, each with a digest of its own
    QTest::addColumn<QStringList>("wholeNames");
    QTest::addColumn<int>("parts");        // -1: the list says nothing of the set
    QTest::addColumn<QString>("whole");
    QTest::newRow("parts and one other file") << QStringList{"xaa", "xab", "big.iso"} << QStringList{} << 2 << "big.iso";
    QTest::newRow("parts and two others") << QStringList{"xaa", "README", "big.iso"} << QStringList{} << 1 << "";
    QTest::newRow("the file by the name given it") << QStringList{"README", "big.iso"} << QStringList{"big.iso"} << 0
                                                   << "big.iso";
    QTest::newRow("other files only") << QStringList{"README", "big.iso"} << QStringList{} << -1 << "";
    QTest::newRow("a part twice, two digests") << QStringList{"xaa", "xaa"} << QStringList{} << -1 << "";
    QTest::newRow("a name in a folder") << QStringList{"xaa", "../big.iso"} << QStringList{} << 1 << "";
}

void tst_ForeignSet::listsTellThePartsAndTheWhole()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, wholeNames);
    QFETCH(int, parts);
    QFETCH(QString, whole);
    std::vector<ChecksumEntry> entries;
    for (const QString& name : names)
        entries.push_back({name.toStdString(), Hasher::of(DigestKind::Md5, std::to_string(entries.size()))});
    const auto naming = SetNaming::gnuSplit("x", SetNaming::Letters, 2, true, "");
    const auto sums = SumsForSet("x.md5", entries, naming, strings(wholeNames));
    QCOMPARE(sums ? int(sums->parts.size()) : -1, parts);
    QCOMPARE(sums && sums->whole ? QString::fromStdString(sums->whole->name) : QString(), whole);
}

QTEST_GUILESS_MAIN(tst_ForeignSet)
#include "tst_foreignset.moc"
