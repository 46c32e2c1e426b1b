#include "platform/fakeplatform.h"

#include <QTest>

using namespace darvolt;
using Op = FakePlatform::Operation;
using Medium = FakePlatform::Medium;

namespace {

std::span<const std::byte> bytes(std::string_view s) { return std::as_bytes(std::span(s.data(), s.size())); }

std::string readAll(File& f)
{
    std::string out;
    std::byte buffer[7];
    for (;;) {
        const auto got = f.read(buffer);
        if (!got.ok() || got.value == 0)
            return out;
        out.append(reinterpret_cast<const char*>(buffer), got.value);
    }
}

} // namespace

class tst_FakePlatform : public QObject {
    Q_OBJECT

private slots:
    void filesRoundTripAndCountChanges();
    void nthCallOfAnOperationFails();
    void shortWriteStoresLessWithoutAnError();
    void lockedReadOnlyAndSpecialFilesBehaveAsOnDisk();
    void createNeedsAnExistingFolder();
    void listsFoldersAndFiles();
    void disketteQueueSwapsMediaAndCountsFreeSpace();
    void fullDisketteStoresWhatFitsThenFails();
    void writeProtectedAndMissingDiskettes();
    void recordsFileManagerLaunchesAndOpenFiles();
    void faultsCountedPerPathHitThatFileOnly();
    void readFaultAtAnOffsetHitsEveryReadOverIt();
    void readAtLeavesThePosition();
};

void tst_FakePlatform::filesRoundTripAndCountChanges()
{
    FakePlatform fake;
    fake.addFile("/d/a.txt", "abc");
    QVERIFY(fake.hasDirectory("/d"));
    {
        auto in = fake.openForReading("/d/a.txt");
        QVERIFY(in.ok());
        QCOMPARE(readAll(*in.value), std::string("abc"));
        QCOMPARE(in.value->size().value, std::int64_t(3));
        QCOMPARE(in.value->write(bytes("x")).error, error::AccessDenied);
    }
    QCOMPARE(fake.changeCount("/d/a.txt"), std::uint64_t(0));
    auto out = fake.createFile("/d/a.txt");
    QVERIFY(out.ok());
    QCOMPARE(fake.contents("/d/a.txt"), std::string()); // emptied
    out.value->write(bytes("new"));
    QCOMPARE(out.value->close(), error::None);
    QCOMPARE(fake.contents("/d/a.txt"), std::string("new"));
    QVERIFY(fake.changeCount("/d/a.txt") > 0);
    QCOMPARE(out.value->read({}).error, error::InvalidHandle);
    QCOMPARE(fake.removeFile("/d/a.txt"), error::None);
    QVERIFY(!fake.hasFile("/d/a.txt"));
    QCOMPARE(fake.removeFile("/d/a.txt"), error::FileNotFound);
}

void tst_FakePlatform::nthCallOfAnOperationFails()
{
    FakePlatform fake;
    fake.addFile("/d/a", "0123456789");
    fake.failCall(Op::Read, 2, error::DeviceError);
    fake.failCall(Op::CreateFile, 1, error::WriteProtected);
    auto in = fake.openForReading("/d/a");
    std::byte b[4];
    QVERIFY(in.value->read(b).ok());
    QCOMPARE(in.value->read(b).error, error::DeviceError);
    QVERIFY(in.value->read(b).ok()); // only the second call
    QCOMPARE(fake.createFile("/d/b").error, error::WriteProtected);
    QVERIFY(fake.createFile("/d/b").ok());
    QCOMPARE(fake.calls(Op::Read), 3);
    QCOMPARE(fake.calls(Op::CreateFile), 2);
}

void tst_FakePlatform::shortWriteStoresLessWithoutAnError()
{
    FakePlatform fake;
    fake.addDirectory("/d");
    fake.storeShortWrite(2, 1);
    auto out = fake.createFile("/d/f");
    QCOMPARE(out.value->write(bytes("abc")).value, std::size_t(3));
    const auto shortOne = out.value->write(bytes("def"));
    QVERIFY(shortOne.ok());
    QCOMPARE(shortOne.value, std::size_t(1));
    QCOMPARE(fake.contents("/d/f"), std::string("abcd"));
}

void tst_FakePlatform::lockedReadOnlyAndSpecialFilesBehaveAsOnDisk()
{
    FakePlatform fake;
    fake.addFile("/d/locked", "x");
    fake.setLocked("/d/locked");
    fake.addFile("/d/ro", "x");
    fake.setReadOnly("/d/ro");
    fake.addSpecialFile("/d/fifo");
    fake.addFile("/d/unknown", "x");
    fake.setSizeUnknown("/d/unknown");

    QCOMPARE(fake.openForReading("/d/locked").error, error::SharingViolation);
    QCOMPARE(fake.removeFile("/d/locked"), error::SharingViolation);
    QVERIFY(fake.openForReading("/d/ro").ok());
    QCOMPARE(fake.createFile("/d/ro").error, error::AccessDenied);
    QCOMPARE(fake.removeFile("/d/ro"), error::AccessDenied);
    QCOMPARE(fake.attributes("/d/ro").value, attribute::Archive | attribute::ReadOnly);
    QCOMPARE(fake.openForReading("/d/fifo").error, error::FileNotFound);
    QCOMPARE(fake.attributes("/d/fifo").value, attribute::Device);
    QVERIFY(!fake.openForReading("/d/unknown").value->size().ok());
    QCOMPARE(fake.attributes("/d").value, attribute::Directory);
    QCOMPARE(fake.openForReading("/d").error, error::AccessDenied);
}

void tst_FakePlatform::createNeedsAnExistingFolder()
{
    FakePlatform fake;
    QCOMPARE(fake.createFile("/no/such/file").error, error::PathNotFound);
    QCOMPARE(fake.makeDirectory("/no/such"), error::PathNotFound);
    QCOMPARE(fake.makeDirectory("/no"), error::None);
    QCOMPARE(fake.makeDirectory("/no"), error::AlreadyExists);
    QVERIFY(fake.createFile("relative.txt").ok()); // the current directory exists
}

void tst_FakePlatform::listsFoldersAndFiles()
{
    FakePlatform fake;
    fake.addFile("/d/a", "");
    fake.addFile("/d/sub/b", "");
    auto listing = fake.listDirectory("/d");
    QVERIFY(listing.ok());
    QCOMPARE(listing.value.size(), std::size_t(2));
    QCOMPARE(listing.value[0].name, std::string("sub"));
    QVERIFY(listing.value[0].isDirectory);
    QCOMPARE(listing.value[1].name, std::string("a"));
    QCOMPARE(fake.listDirectory("/missing").error, error::PathNotFound);
}

void tst_FakePlatform::disketteQueueSwapsMediaAndCountsFreeSpace()
{
    FakePlatform fake("/A/");
    QCOMPARE(fake.driveFolder(), std::string("/A"));
    QCOMPARE(fake.driveFreeBytes().error, error::NotReady); // nothing inserted yet
    Medium used;
    used.capacity = 100;
    used.files = {{"old.txt", std::string(30, 'o')}};
    fake.insertMedia({used, Medium{}});
    QCOMPARE(fake.disketteIndex(), 0);
    QCOMPARE(fake.driveFreeBytes().value, std::int64_t(70));
    auto f = fake.createFile("/A/new");
    f.value->write(bytes("12345"));
    QCOMPARE(fake.driveFreeBytes().value, std::int64_t(65));
    fake.changeDiskette();
    QCOMPARE(fake.disketteIndex(), 1);
    QCOMPARE(fake.driveFreeBytes().value, std::int64_t(1457664));
    QVERIFY(!fake.hasFile("/A/new"));
    QCOMPARE(fake.diskette(0).at("new"), std::string("12345"));
    fake.changeDiskette();
    QCOMPARE(fake.disketteIndex(), -1); // the queue is used up: empty drive
    QCOMPARE(fake.createFile("/A/x").error, error::NotReady);
}

void tst_FakePlatform::fullDisketteStoresWhatFitsThenFails()
{
    FakePlatform fake;
    Medium small;
    small.capacity = 4;
    fake.insertMedia({small});
    auto f = fake.createFile("/A/f");
    QCOMPARE(f.value->write(bytes("abcdef")).error, error::DiskFull);
    QCOMPARE(fake.diskette(0).at("f"), std::string("abcd"));
    QCOMPARE(fake.driveFreeBytes().value, std::int64_t(0));
}

void tst_FakePlatform::writeProtectedAndMissingDiskettes()
{
    FakePlatform fake;
    Medium locked;
    locked.state = Medium::State::WriteProtected;
    locked.files = {{"a", "x"}};
    Medium missing;
    missing.state = Medium::State::Missing;
    fake.insertMedia({locked, missing});
    QCOMPARE(fake.createFile("/A/b").error, error::WriteProtected);
    QCOMPARE(fake.removeFile("/A/a"), error::WriteProtected);
    QVERIFY(fake.openForReading("/A/a").ok());
    fake.changeDiskette();
    QCOMPARE(fake.createFile("/A/b").error, error::NotReady);
    QCOMPARE(fake.driveFreeBytes().error, error::NotReady);
    QCOMPARE(fake.disketteIndex(), -1);
}

void tst_FakePlatform::recordsFileManagerLaunchesAndOpenFiles()
{
    FakePlatform fake;
    fake.openFileManager("/d/A_PARTS");
    QCOMPARE(fake.fileManagerLaunches(), std::vector<std::string>{"/d/A_PARTS"});
    fake.addFile("/d/a", "x");
    auto one = fake.openForReading("/d/a");
    auto two = fake.openForReading("/d/a");
    QCOMPARE(fake.openFiles(), 2);
    one.value->close();
    QCOMPARE(fake.openFiles(), 1);
    two.value.reset();
    QCOMPARE(fake.openFiles(), 0);
}

void tst_FakePlatform::faultsCountedPerPathHitThatFileOnly()
{
    FakePlatform fake;
    fake.addDirectory("/d");
    fake.failFileCall("/d/b", Op::Write, 2, error::DiskFull);
    fake.storeShortWriteTo("/d/a", 3, 1);
    fake.failFileCall("/d/a", Op::Close, 1, error::DeviceError);
    auto a = fake.createFile("/d/a");
    auto b = fake.createFile("/d/b");
    QVERIFY(a.value->write(bytes("1")).ok());
    QVERIFY(a.value->write(bytes("2")).ok()); // the second write overall, the second to /d/a
    QVERIFY(b.value->write(bytes("x")).ok());
    QCOMPARE(b.value->write(bytes("y")).error, error::DiskFull);
    QCOMPARE(a.value->write(bytes("34")).value, std::size_t(1));
    QCOMPARE(fake.contents("/d/a"), std::string("123"));
    QCOMPARE(fake.contents("/d/b"), std::string("x"));
    QCOMPARE(b.value->close(), error::None);
    QCOMPARE(a.value->close(), error::DeviceError);
    QCOMPARE(fake.fileCalls("/d/a", Op::Write), 3);
    QCOMPARE(fake.fileCalls("/d/b", Op::Write), 2);
    QCOMPARE(fake.calls(Op::Write), 5);
}

void tst_FakePlatform::readFaultAtAnOffsetHitsEveryReadOverIt()
{
    FakePlatform fake;
    fake.addFile("/d/src", std::string(300, 's'));
    fake.failReadAt("/d/src", 100, error::DeviceError);
    auto in = fake.openForReading("/d/src");
    std::byte b[64];
    QVERIFY(in.value->read(b).ok());                        // [0, 64)
    QCOMPARE(in.value->read(b).error, error::DeviceError);   // [64, 128)
    QCOMPARE(in.value->readAt(90, std::span(b).first(20)).error, error::DeviceError);
    QCOMPARE(in.value->readAt(100, std::span(b).first(1)).error, error::DeviceError);
    QVERIFY(in.value->readAt(36, std::span(b).first(64)).ok()); // [36, 100)
    QVERIFY(in.value->readAt(101, b).ok());
}

void tst_FakePlatform::readAtLeavesThePosition()
{
    FakePlatform fake;
    fake.addFile("/d/src", "0123456789");
    auto in = fake.openForReading("/d/src");
    std::byte b[4];
    QCOMPARE(in.value->readAt(6, b).value, std::size_t(4));
    QCOMPARE(std::to_integer<char>(b[0]), '6');
    QCOMPARE(in.value->readAt(8, b).value, std::size_t(2));
    QCOMPARE(in.value->readAt(-1, b).error, error::InvalidParameter);
    QCOMPARE(readAll(*in.value), std::string("0123456789"));
    QCOMPARE(fake.calls(Op::Read), 5); // positional reads count as reads; the refused offset does not
}

QTEST_GUILESS_MAIN(tst_FakePlatform)
#include "tst_fakeplatform.moc"
