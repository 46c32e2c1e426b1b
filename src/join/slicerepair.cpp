#include "join/slicerepair.h"

#include "parts/gf16.h"
#include "parts/jobthread.h"
#include "parts/par2packets.h"
#include "parts/partnaming.h"
#include "parts/recoveryaccumulator.h"
#include "parts/recoveryencoder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>

namespace darvolt {

namespace {

constexpr std::size_t Piece = std::size_t{1} << 20;
// Packets other than recovery slices are small; a larger one is no packet.
constexpr std::uint64_t LargestSmallPacket = std::uint64_t{64} << 20;
constexpr std::string_view Magic{"PAR2\0PKT", 8};

bool readAll(File& file, std::int64_t offset, std::span<std::byte> buffer)
{
    const auto read = file.readAt(offset, buffer);
    return read.ok() && read.value == buffer.size();
}

struct Description {
    std::string name;
    std::int64_t length = -1;
    Md5Digest md5{};
    std::int64_t slices = -1; // entries in its slice checksums
    std::uint32_t crc32 = 0;  // of its one slice, zero-padded
};

struct RecoveryPacket {
    std::size_t file = 0;
    std::int64_t offset = 0; // of the packet
    std::uint32_t exponent = 0;
    Par2Id setId{};
    Md5Digest hash{};
};

// Every packet of a set's files: the small ones read and checked, the
// recovery slices noted where they are.
struct LoadedSet {
    std::vector<std::unique_ptr<File>> files;
    std::optional<Par2Id> setId;
    std::int64_t sliceSize = 0;
    std::vector<Par2Id> order;
    std::map<Par2Id, Description> described;
    std::vector<RecoveryPacket> recovery;

    void take(std::string_view type, const Par2Id& set, std::span<const std::byte> body)
    {
        if (type == par2type::Main && !setId && body.size() >= 12) {
            setId = set;
            sliceSize = static_cast<std::int64_t>(Par2Number(body.data(), 8));
            const std::uint64_t count = Par2Number(body.data() + 8, 4);
            for (std::uint64_t i = 0; i < count && 12 + 16 * (i + 1) <= body.size(); ++i)
                order.push_back(Par2IdAt(body.data() + 12 + 16 * i));
        } else if (type == par2type::FileDescription && body.size() >= 56) {
            Description& d = described[Par2IdAt(body.data())];
            d.md5 = Par2IdAt(body.data() + 16);
            d.length = static_cast<std::int64_t>(Par2Number(body.data() + 48, 8));
            d.name.assign(reinterpret_cast<const char*>(body.data() + 56), body.size() - 56);
            while (!d.name.empty() && d.name.back() == '\0')
                d.name.pop_back();
        } else if (type == par2type::SliceChecksums && body.size() >= 16) {
            Description& d = described[Par2IdAt(body.data())];
            d.slices = static_cast<std::int64_t>((body.size() - 16) / 20);
            if (d.slices >= 1)
                d.crc32 = static_cast<std::uint32_t>(Par2Number(body.data() + 32, 4));
        }
    }

    void scan(std::size_t index)
    {
        File& file = *files[index];
        const auto size = file.size();
        if (!size.ok())
            return;
        std::vector<std::byte> header(Par2HeaderSize + 4);
        std::vector<std::byte> window(Piece);
        for (std::int64_t at = 0; at + static_cast<std::int64_t>(Par2HeaderSize) <= size.value;) {
            if (readAll(file, at, std::span(header).first(Par2HeaderSize))
                && std::memcmp(header.data(), Magic.data(), Magic.size()) == 0) {
                const std::uint64_t length = Par2Number(header.data() + 8, 8);
                const std::string_view type(reinterpret_cast<const char*>(header.data()) + 48, 16);
                if (length >= Par2HeaderSize && length % 4 == 0
                    && length <= static_cast<std::uint64_t>(size.value - at)) {
                    if (type == par2type::RecoverySlice && length >= Par2RecoveryPrefix
                        && readAll(file, at, header)) {
                        recovery.push_back({index, at, static_cast<std::uint32_t>(Par2Number(header.data() + 64, 4)),
                                            Par2IdAt(header.data() + 32), Par2IdAt(header.data() + 16)});
                        at += static_cast<std::int64_t>(length);
                        continue;
                    }
                    if (length <= LargestSmallPacket) {
                        std::vector<std::byte> packet(length);
                        if (readAll(file, at, packet)) {
                            const auto found = Par2Packets(packet);
                            if (found.size() == 1) {
                                take(found[0].type, found[0].setId, found[0].body);
                                at += static_cast<std::int64_t>(length);
                                continue;
                            }
                        }
                    }
                }
            }
            // Damaged: on to the next packet's start, four bytes at a time.
            at += 4;
            const auto read = file.readAt(at, window);
            if (!read.ok() || read.value < Par2HeaderSize)
                break;
            std::int64_t next = -1;
            for (std::size_t i = 0; i + Magic.size() <= read.value; i += 4)
                if (std::memcmp(window.data() + i, Magic.data(), Magic.size()) == 0) {
                    next = at + static_cast<std::int64_t>(i);
                    break;
                }
            at = next >= 0 ? next : at + static_cast<std::int64_t>(read.value) - static_cast<std::int64_t>(Magic.size());
            at -= at % 4;
        }
    }
};

// Whether a file of `length` bytes is its slice: by MD5 of the file when
// `strict`, else by the CRC32 of the zero-padded slice (four times as
// fast). False when it cannot be read to its end.
bool fileMatches(File& file, const Description& described, std::int64_t sliceSize, bool strict,
                 std::vector<std::byte>& buffer, const std::atomic<bool>* stop)
{
    Md5 hash;
    std::uint32_t crc = 0;
    for (std::int64_t at = 0; at < described.length;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return false;
        const auto wanted = std::span(buffer).first(static_cast<std::size_t>(std::min<std::int64_t>(described.length - at, Piece)));
        if (!readAll(file, at, wanted))
            return false;
        if (strict)
            hash.update(wanted);
        else
            crc = Crc32(crc, wanted);
        at += static_cast<std::int64_t>(wanted.size());
    }
    if (strict)
        return hash.finish() == described.md5;
    AddZeros(crc, sliceSize - described.length);
    return crc == described.crc32;
}

// Inverts `matrix` (n x n, row-major) in place; false when it is singular.
bool invert(std::vector<std::uint16_t>& matrix, std::size_t n)
{
    std::vector<std::uint16_t> inverse(n * n, 0);
    for (std::size_t i = 0; i < n; ++i)
        inverse[i * n + i] = 1;
    for (std::size_t column = 0; column < n; ++column) {
        std::size_t pivot = column;
        while (pivot < n && matrix[pivot * n + column] == 0)
            ++pivot;
        if (pivot == n)
            return false;
        for (std::size_t k = 0; k < n; ++k) {
            std::swap(matrix[pivot * n + k], matrix[column * n + k]);
            std::swap(inverse[pivot * n + k], inverse[column * n + k]);
        }
        const std::uint16_t scale = GfInverse(matrix[column * n + column]);
        for (std::size_t k = 0; k < n; ++k) {
            matrix[column * n + k] = GfMultiply(matrix[column * n + k], scale);
            inverse[column * n + k] = GfMultiply(inverse[column * n + k], scale);
        }
        for (std::size_t row = 0; row < n; ++row) {
            const std::uint16_t factor = matrix[row * n + column];
            if (row == column || factor == 0)
                continue;
            for (std::size_t k = 0; k < n; ++k) {
                matrix[row * n + k] ^= GfMultiply(factor, matrix[column * n + k]);
                inverse[row * n + k] ^= GfMultiply(factor, inverse[column * n + k]);
            }
        }
    }
    matrix = std::move(inverse);
    return true;
}

bool usableName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
           && name.find('\0') == std::string::npos;
}

} // namespace

namespace {

// strict: the parts are judged by their MD5; else by their slices' CRC32,
// and a rebuilt part that then does not come out as described sends the
// repair round again, strict.
SliceRepairResult repair(const SliceRepairJob& job, bool strict)
{
    using End = SliceRepairResult::End;
    SliceRepairResult result;
    const auto path = [&](const std::string& name) { return job.folder.empty() ? name : job.folder + "/" + name; };
    const auto stopped = [&] { return job.stop != nullptr && job.stop->load(std::memory_order_relaxed); };

    // The set: its index first (its main packet names the set), then
    // every other PAR2 file beside it.
    LoadedSet set;
    std::vector<std::string> names{job.index};
    if (const auto listing = job.platform.listDirectory(job.folder.empty() ? std::string(".") : job.folder); listing.ok())
        for (const DirectoryEntry& entry : listing.value)
            if (!entry.isDirectory && !entry.isLink && entry.name != job.index && entry.name.ends_with(RecoverySuffix))
                names.push_back(entry.name);
    for (const std::string& name : names)
        if (auto opened = job.platform.openForReading(path(name)); opened.ok()) {
            set.files.push_back(std::move(opened.value));
            set.scan(set.files.size() - 1);
        }
    if (!set.setId || set.sliceSize <= 0 || set.sliceSize % 4 != 0 || set.order.empty())
        return result;
    std::vector<const Description*> files;
    for (const Par2Id& id : set.order) {
        const auto found = set.described.find(id);
        if (found == set.described.end() || found->second.length < 0 || found->second.length > set.sliceSize
            || found->second.slices != (found->second.length > 0 ? 1 : 0) || !usableName(found->second.name))
            return result; // not one slice per part: par2's work
        files.push_back(&found->second);
    }
    std::erase_if(set.recovery, [&](const RecoveryPacket& packet) { return packet.setId != *set.setId; });

    // Which parts are whole: two threads hash, each its half.
    std::int64_t total = 0;
    for (const Description* file : files)
        total += file->length;
    const double work = static_cast<double>(std::max<std::int64_t>(total, 1)) * 3;
    std::atomic<std::int64_t> hashed{0};
    std::vector<char> whole(files.size(), 0);
    std::vector<char> absent(files.size(), 0);
    const std::set<std::string> vouchedFor(job.knownWhole.begin(), job.knownWhole.end());
    const auto check = [&](std::size_t from, std::size_t to) {
        std::vector<std::byte> buffer(Piece);
        for (std::size_t j = from; j < to && !stopped(); ++j) {
            auto opened = job.platform.openForReading(path(files[j]->name));
            if (!opened.ok()) {
                absent[j] = 1;
                continue;
            }
            const auto size = opened.value->size();
            const bool vouched = vouchedFor.contains(files[j]->name);
            whole[j] = size.ok() && size.value == files[j]->length
                       && (vouched || fileMatches(*opened.value, *files[j], set.sliceSize, strict, buffer, job.stop));
            hashed += files[j]->length;
        }
    };
    {
        JobThread helper;
        const std::size_t half = files.size() / 2;
        helper.start([&] { check(half, files.size()); });
        check(0, half);
        while (!helper.collect(std::chrono::milliseconds(50))) {
            if (job.idle)
                job.idle();
            if (job.progress)
                job.progress(static_cast<double>(hashed.load()) / work);
        }
    }
    if (stopped()) {
        result.end = End::Stopped;
        return result;
    }
    std::vector<std::size_t> lost;
    for (std::size_t j = 0; j < files.size(); ++j)
        if (!whole[j]) {
            lost.push_back(j);
            (absent[j] ? result.missing : result.damaged).push_back(files[j]->name);
        }
    if (lost.empty()) {
        result.end = End::Whole;
        return result;
    }

    // As many recovery slices as parts lost, each whole, their rows of the
    // system independent.
    std::sort(set.recovery.begin(), set.recovery.end(),
              [](const RecoveryPacket& a, const RecoveryPacket& b) { return a.exponent < b.exponent; });
    const std::size_t m = lost.size();
    std::vector<const RecoveryPacket*> chosen;
    std::vector<std::byte> buffer(Piece);
    for (const RecoveryPacket& packet : set.recovery) {
        if (chosen.size() == m || stopped())
            break;
        if (!chosen.empty() && chosen.back()->exponent == packet.exponent)
            continue;
        std::vector<std::uint16_t> rows;
        for (const RecoveryPacket* each : chosen)
            for (const std::size_t j : lost)
                rows.push_back(Par2Coefficient(j, each->exponent));
        for (const std::size_t j : lost)
            rows.push_back(Par2Coefficient(j, packet.exponent));
        // The last row must make the system solvable; with the consecutive
        // exponents a set usually holds it always does.
        if (chosen.size() + 1 == m && !invert(rows, m))
            continue;
        File& file = *set.files[packet.file];
        Md5 hash = Par2RecoveryHashStart(packet.setId, packet.exponent);
        bool readable = true;
        for (std::int64_t at = 0; at < set.sliceSize && readable;) {
            const auto wanted = std::span(buffer).first(static_cast<std::size_t>(std::min<std::int64_t>(set.sliceSize - at, Piece)));
            readable = readAll(file, packet.offset + static_cast<std::int64_t>(Par2RecoveryPrefix) + at, wanted);
            hash.update(wanted);
            at += static_cast<std::int64_t>(wanted.size());
        }
        if (readable && hash.finish() == packet.hash)
            chosen.push_back(&packet);
    }
    if (chosen.size() < m) {
        result.end = End::Unrepairable;
        result.moreNeeded = static_cast<std::int64_t>(m - chosen.size());
        return result;
    }
    std::vector<std::uint16_t> matrix;
    for (const RecoveryPacket* packet : chosen)
        for (const std::size_t j : lost)
            matrix.push_back(Par2Coefficient(j, packet->exponent));
    if (!invert(matrix, m)) {
        result.end = End::Unrepairable;
        result.moreNeeded = 1;
        return result;
    }

    // The parts, a range of them at a time within the memory budget.
    std::vector<std::size_t> good;
    for (std::size_t j = 0; j < files.size(); ++j)
        if (whole[j])
            good.push_back(j);
    const std::size_t budget = job.memory > 0 ? job.memory : std::size_t{1} << 30;
    RecoveryShape shape = ShapeRecovery(set.sliceSize, std::max<std::size_t>(good.size(), 1),
                                        static_cast<std::uint32_t>(m), budget / 2);
    for (const RecoveryPacket* packet : chosen)
        shape.exponents.push_back(packet->exponent);
    shape.sliceIndex.resize(files.size());
    for (std::size_t j = 0; j < files.size(); ++j)
        shape.sliceIndex[j] = j;
    RecoveryAccumulator sums(shape);
    const GfRegion& region = sums.region();
    const std::size_t width = shape.rangeBytes;
    std::vector<AlignedBytes> known; // per chosen slice: what the lost parts sum to
    for (std::size_t i = 0; i < m; ++i)
        known.push_back(AllocateAligned(width));
    AlignedBytes out = AllocateAligned(width);
    std::vector<std::byte> plain(width);

    struct Rebuilt {
        std::string temporary;
        std::unique_ptr<File> file;
        Md5 hash;
    };
    std::vector<Rebuilt> rebuilt(m);
    const auto discard = [&] {
        for (Rebuilt& each : rebuilt)
            if (each.file) {
                each.file.reset();
                job.platform.removeFile(path(each.temporary));
            }
    };
    for (std::size_t k = 0; k < m; ++k) {
        rebuilt[k].temporary = files[lost[k]]->name + ".rebuilt";
        auto made = job.platform.createNewFile(path(rebuilt[k].temporary));
        if (!made.ok()) {
            discard();
            result.end = End::Failed;
            result.why = "cannot create " + rebuilt[k].temporary;
            return result;
        }
        rebuilt[k].file = std::move(made.value);
    }

    std::int64_t done = 0;
    const std::int64_t passes = (set.sliceSize + static_cast<std::int64_t>(width) - 1) / static_cast<std::int64_t>(width);
    const double perPass = static_cast<double>(total) * 2 / static_cast<double>(passes);
    for (std::int64_t offset = 0; offset < set.sliceSize; offset += static_cast<std::int64_t>(width), ++done) {
        const auto span = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(width), set.sliceSize - offset));
        sums.beginPass(offset, span);
        for (const std::size_t j : good) {
            const std::int64_t end = std::min<std::int64_t>(files[j]->length, offset + static_cast<std::int64_t>(span));
            if (offset < end) {
                auto opened = job.platform.openForReading(path(files[j]->name));
                const bool read = opened.ok() && sums.addFrom(*opened.value, j, end, buffer) == error::None;
                if (!read) {
                    discard();
                    result.end = End::Failed;
                    result.why = "cannot read " + files[j]->name;
                    return result;
                }
            }
            sums.endPart(j);
            if (job.idle)
                job.idle();
            if (stopped()) {
                discard();
                result.end = End::Stopped;
                return result;
            }
        }
        sums.endPass(job.idle);
        for (std::size_t i = 0; i < m; ++i) {
            const auto data = std::span(plain).first(span);
            if (!readAll(*set.files[chosen[i]->file],
                         chosen[i]->offset + static_cast<std::int64_t>(Par2RecoveryPrefix) + offset, data)) {
                discard();
                result.end = End::Failed;
                result.why = "cannot read the recovery data";
                return result;
            }
            region.toWorking(data, known[i].get(), GfUnits(span));
            region.multiplyAdd(sums.workedRange(static_cast<std::uint32_t>(i)), known[i].get(), 1, GfUnits(span));
        }
        std::vector<const std::byte*> sources;
        for (const AlignedBytes& each : known)
            sources.push_back(each.get());
        for (std::size_t k = 0; k < m; ++k) {
            const std::int64_t length = files[lost[k]]->length;
            if (offset >= length)
                continue;
            std::vector<GfRegion::Factor> factors;
            for (std::size_t i = 0; i < m; ++i)
                factors.push_back(GfRegion::prepare(matrix[k * m + i]));
            std::memset(out.get(), 0, GfUnits(span));
            region.multiplyAddMany(sources.data(), factors.data(), m, out.get(), GfUnits(span));
            const auto data = std::span(plain).first(static_cast<std::size_t>(std::min<std::int64_t>(length - offset, static_cast<std::int64_t>(span))));
            region.fromWorking(out.get(), data);
            rebuilt[k].hash.update(data);
            const auto wrote = rebuilt[k].file->writeAt(offset, data);
            if (!wrote.ok() || wrote.value != data.size()) {
                discard();
                result.end = End::Failed;
                result.why = "cannot write " + rebuilt[k].temporary;
                return result;
            }
        }
        if (job.progress)
            job.progress((static_cast<double>(total) + perPass * static_cast<double>(done + 1)) / work);
    }

    for (std::size_t k = 0; k < m; ++k)
        if (rebuilt[k].hash.finish() != files[lost[k]]->md5 || rebuilt[k].file->close() != error::None) {
            discard();
            result.end = End::Failed;
            result.why = files[lost[k]]->name + " did not come out as its description says";
            result.notAsDescribed = true;
            return result;
        }
    for (std::size_t k = 0; k < m; ++k) {
        rebuilt[k].file.reset();
        if (job.platform.renameFile(path(rebuilt[k].temporary), path(files[lost[k]]->name), true) != error::None) {
            job.platform.removeFile(path(rebuilt[k].temporary));
            result.end = End::Failed;
            result.why = "cannot replace " + files[lost[k]]->name;
            return result;
        }
        result.rebuilt.push_back(files[lost[k]]->name);
    }
    result.end = End::Rebuilt;
    return result;
}

} // namespace

SliceRepairResult RepairFromSlices(const SliceRepairJob& job)
{
    // The quick look goes by CRC32, which a part damaged on purpose could
    // fool: whatever it finds whole is confirmed by MD5, and a part rebuilt
    // from one it took wrongly fails its MD5, so either way the strict look
    // has the last word.
    SliceRepairResult quick = repair(job, false);
    if (quick.end == SliceRepairResult::End::Whole || quick.notAsDescribed)
        return repair(job, true);
    return quick;
}

} // namespace darvolt
