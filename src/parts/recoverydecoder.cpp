#include "parts/recoverydecoder.h"

#include "parts/gf16.h"
#include "parts/jobthread.h"
#include "parts/recoveryaccumulator.h"

#include "parts/recoveryencoder.h"
#include "platform/pathrules.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace darvolt {

namespace {

constexpr std::size_t Piece = std::size_t{1} << 20;
constexpr std::size_t DefaultMemory = std::size_t{1} << 30;

using What = DecodeFailure::What;
using End = RecoveryDecoded::End;

// The CRC32 of `crc`'s bytes followed by `count` zeros, in steps that
// double, so that no slice size, however large, costs more than a few
// dozen of them.
std::uint32_t withZeros(std::uint32_t crc, std::int64_t count)
{
    std::uint32_t zeros = 0;   // of the zeros taken so far
    std::uint32_t power = static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>("\0"), 1));
    z_off64_t powerLength = 1; // bytes `power` stands for
    for (std::int64_t left = count; left > 0; left >>= 1) {
        if ((left & 1) != 0)
            zeros = static_cast<std::uint32_t>(crc32_combine64(zeros, power, powerLength));
        power = static_cast<std::uint32_t>(crc32_combine64(power, power, powerLength));
        powerLength *= 2;
    }
    return static_cast<std::uint32_t>(crc32_combine64(crc, zeros, static_cast<z_off64_t>(count)));
}

bool readAll(File& file, std::int64_t offset, std::span<std::byte> buffer, ErrorCode& error)
{
    const auto read = file.readAt(offset, buffer);
    error = !read.ok() ? read.error : read.value != buffer.size() ? error::DeviceError : error::None;
    return error == error::None;
}

// The rows of the system as recovery slices are chosen, kept reduced, so
// that telling whether one more row keeps it solvable costs a row's worth
// of work for each row kept, never an inversion.
class ReducedRows {
public:
    explicit ReducedRows(std::size_t width) : width_(width) {}

    // Keeps the row when it is independent of those kept.
    bool add(std::vector<std::uint16_t> row)
    {
        for (std::size_t k = 0; k < rows_.size(); ++k)
            if (const std::uint16_t factor = row[pivots_[k]]; factor != 0)
                for (std::size_t c = 0; c < width_; ++c)
                    row[c] ^= GfMultiply(factor, rows_[k][c]);
        const auto pivot = std::find_if(row.begin(), row.end(), [](std::uint16_t value) { return value != 0; });
        if (pivot == row.end())
            return false;
        const std::uint16_t scale = GfInverse(*pivot);
        for (std::uint16_t& value : row)
            value = GfMultiply(value, scale);
        pivots_.push_back(static_cast<std::size_t>(pivot - row.begin()));
        rows_.push_back(std::move(row));
        return true;
    }

private:
    std::size_t width_;
    std::vector<std::vector<std::uint16_t>> rows_; // each 1 at its pivot
    std::vector<std::size_t> pivots_;
};

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

class Decoder {
public:
    explicit Decoder(const RecoveryDecoding& job) : job_(job), set_(job.set) {}

    // The quick look goes by the slices' CRC32, which a part damaged on
    // purpose could fool: whatever it finds whole is confirmed by MD5, and a
    // part rebuilt from one it took wrongly fails its MD5, so either way the
    // strict look has the last word.
    RecoveryDecoded run()
    {
        if (!DecoderCanWork(set_))
            return end(End::Unrepairable);
        slice_ = *set_.firstSlices();
        for (const Par2SetFile& file : set_.files)
            total_ += static_cast<std::int64_t>(file.description->length);
        const RecoveryDecoded quick = attempt(false);
        const bool fooled = quick.end == End::Whole || (quick.end == End::Failed && quick.failure.what == What::NotAsDescribed);
        if (!fooled || !byCrc_.load(std::memory_order_relaxed))
            return quick;
        result_ = {};
        return attempt(true);
    }

private:
    const Par2Description& described(std::size_t j) const { return *set_.files[j].description; }
    std::int64_t length(std::size_t j) const { return static_cast<std::int64_t>(described(j).length); }
    PartKnown known(std::size_t j) const { return j < job_.known.size() ? job_.known[j] : PartKnown::Unknown; }
    static std::string path(const std::string& folder, const std::string& name) { return InFolder(folder, name); }
    bool stopped() const { return job_.stop != nullptr && job_.stop->load(std::memory_order_relaxed); }
    void progress(double done) const
    {
        if (job_.progress)
            job_.progress(done / (static_cast<double>(std::max<std::int64_t>(total_, 1)) * 3));
    }
    RecoveryDecoded attempt(bool strict)
    {
        strict_ = strict;
        good_.clear();
        lost_.clear();
        withBytes_.clear();
        chosen_.clear();
        matrix_.clear();
        if (!judge())
            return result_;
        if (lost_.empty())
            return end(End::Whole);
        if (!choose() || !rebuild())
            return result_;
        return end(End::Rebuilt);
    }

    RecoveryDecoded end(End how)
    {
        result_.end = how;
        return result_;
    }
    bool fail(What what, std::string file, ErrorCode error)
    {
        result_.end = End::Failed;
        result_.failure = {what, std::move(file), error};
        return false;
    }
    bool stop()
    {
        result_.end = End::Stopped;
        return false;
    }

    // Whether a part is as its description says: its length, then its
    // slice's CRC32 (quick) or its MD5 (strict). Unset when it cannot be
    // opened.
    std::optional<bool> asDescribed(std::size_t j, std::vector<std::byte>& buffer, std::atomic<std::int64_t>& hashed)
    {
        auto opened = job_.platform.openForReading(path(job_.folder, described(j).name));
        if (!opened.ok())
            return std::nullopt;
        const auto size = opened.value->size();
        if (!size.ok() || size.value != length(j))
            return false;
        const auto& slices = set_.files[j].slices;
        const bool byCrc = !strict_ && slices && slices->size() == 1;
        if (byCrc)
            byCrc_.store(true, std::memory_order_relaxed); // either thread judging
        Md5 hash;
        std::uint32_t crc = 0;
        for (std::int64_t at = 0; at < length(j);) {
            if (stopped())
                return false;
            const auto wanted = std::span(buffer).first(static_cast<std::size_t>(std::min<std::int64_t>(length(j) - at, Piece)));
            ErrorCode error = error::None;
            if (!readAll(*opened.value, at, wanted, error))
                return false;
            if (byCrc)
                crc = Crc32(crc, wanted);
            else
                hash.update(wanted);
            at += static_cast<std::int64_t>(wanted.size());
            hashed += static_cast<std::int64_t>(wanted.size());
        }
        if (byCrc)
            return withZeros(crc, set_.sliceSize - length(j)) == slices->front().crc32;
        return hash.finish() == described(j).md5;
    }

    // Which parts are whole; those the caller knows are not read again.
    bool judge()
    {
        const std::size_t n = set_.files.size();
        std::vector<char> whole(n, 0);
        std::vector<char> absent(n, 0);
        for (std::size_t j = 0; j < n; ++j) {
            if (known(j) != PartKnown::Whole)
                continue;
            const auto id = job_.platform.identityOf(path(job_.folder, described(j).name));
            if (!id.ok() || id.value.size != length(j))
                return fail(What::DescribedOtherwise, described(j).name, error::None);
            whole[j] = 1;
        }
        std::atomic<std::int64_t> hashed{0};
        const auto look = [&](std::size_t from, std::size_t to) {
            std::vector<std::byte> buffer(Piece);
            for (std::size_t j = from; j < to && !stopped(); ++j) {
                if (known(j) == PartKnown::Whole)
                    continue;
                if (known(j) == PartKnown::Lost) {
                    absent[j] = !job_.platform.identityOf(path(job_.folder, described(j).name)).ok();
                    continue;
                }
                const std::optional<bool> as = asDescribed(j, buffer, hashed);
                absent[j] = !as.has_value();
                whole[j] = as.value_or(false);
            }
        };
        {
            JobThread helper;
            helper.start([&] { look(n / 2, n); });
            look(0, n / 2);
            while (!helper.collect(std::chrono::milliseconds(50))) {
                if (job_.idle)
                    job_.idle();
                progress(static_cast<double>(hashed.load()));
            }
        }
        if (stopped())
            return stop();
        for (std::size_t j = 0; j < n; ++j) {
            if (whole[j]) {
                good_.push_back(j);
                continue;
            }
            lost_.push_back(j);
            (absent[j] ? result_.missing : result_.damaged).push_back(described(j).name);
        }
        progress(static_cast<double>(total_));
        return true;
    }

    File* par2File(std::size_t index)
    {
        if (index >= job_.par2Files.size())
            return nullptr;
        files_.resize(job_.par2Files.size());
        if (!files_[index]) {
            auto opened = job_.platform.openForReading(path(job_.folder, job_.par2Files[index]));
            if (!opened.ok())
                return nullptr;
            files_[index] = std::move(opened.value);
        }
        return files_[index].get();
    }

    // As many recovery slices as parts with bytes are lost, each whole,
    // their rows independent; then the system's inverse.
    bool choose()
    {
        for (const std::size_t j : lost_)
            if (length(j) > 0)
                withBytes_.push_back(j);
        const std::size_t m = withBytes_.size();
        ReducedRows rows(m);
        std::vector<std::byte> buffer(Piece);
        std::optional<std::uint32_t> taken;
        for (const Par2RecoverySlice& slice : set_.recovery) {
            if (chosen_.size() == m)
                break;
            if (stopped())
                return stop();
            if (job_.idle)
                job_.idle();
            if (taken == slice.exponent)
                continue; // a twin of one already taken
            File* file = par2File(slice.file);
            if (file == nullptr || !Par2SliceHolds(*file, slice, buffer, job_.stop))
                continue;
            taken = slice.exponent;
            if (rows.add(coefficients(slice.exponent)))
                chosen_.push_back(&slice);
        }
        if (stopped())
            return stop();
        if (chosen_.size() < m) {
            result_.moreNeeded = static_cast<std::int64_t>(m - chosen_.size());
            result_.end = End::Unrepairable;
            return false;
        }
        for (const Par2RecoverySlice* slice : chosen_) {
            const auto row = coefficients(slice->exponent);
            matrix_.insert(matrix_.end(), row.begin(), row.end());
        }
        if (!invert(matrix_, m)) {
            result_.moreNeeded = 1;
            result_.end = End::Unrepairable;
            return false;
        }
        return true;
    }

    std::vector<std::uint16_t> coefficients(std::uint32_t exponent) const
    {
        std::vector<std::uint16_t> row;
        for (const std::size_t j : withBytes_)
            row.push_back(Par2Coefficient(slice_[j], exponent));
        return row;
    }

    struct Rebuilt {
        std::unique_ptr<File> file;
        Md5 hash;
    };

    // The lost parts, a range of their slices at a time.
    bool rebuild()
    {
        if (!createRebuilt())
            return false;
        const std::size_t m = withBytes_.size();
        RecoveryShape shape = ShapeRecovery(set_.sliceSize, std::max<std::size_t>(good_.size(), 1),
                                            static_cast<std::uint32_t>(m),
                                            (job_.memory > 0 ? job_.memory : DefaultMemory) / 2);
        for (const Par2RecoverySlice* slice : chosen_)
            shape.exponents.push_back(slice->exponent);
        shape.sliceIndex = slice_;
        RecoveryAccumulator sums(shape);
        const std::size_t width = shape.rangeBytes;
        std::vector<AlignedBytes> known; // per chosen slice: what the lost parts sum to
        for (std::size_t i = 0; i < m; ++i)
            known.push_back(AllocateAligned(width));
        // Only as far as a lost part reaches: beyond it the slices are padding.
        std::int64_t reach = 0;
        for (const std::size_t j : withBytes_)
            reach = std::max(reach, length(j));
        const double passes = std::max(1.0, static_cast<double>(reach) / static_cast<double>(width));
        std::int64_t pass = 0;
        for (std::int64_t offset = 0; offset < reach; offset += static_cast<std::int64_t>(width), ++pass) {
            const auto span = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(width), reach - offset));
            if (!sumWhole(sums, offset, span) || !subtractFromRecovery(sums, known, offset, span)
                || !writeLost(sums.region(), known, offset, span))
                return discard();
            progress(static_cast<double>(total_) * (1 + 2 * static_cast<double>(pass + 1) / passes));
        }
        return checkRebuilt();
    }

    bool createRebuilt()
    {
        for (const std::size_t j : lost_) {
            auto made = job_.platform.createNewFile(path(job_.into, described(j).name));
            if (!made.ok()) {
                fail(What::CannotCreate, described(j).name, made.error);
                return discard();
            }
            rebuilt_.push_back({std::move(made.value), Md5()});
        }
        return true;
    }

    // The whole parts' share of the range, through the accumulator.
    bool sumWhole(RecoveryAccumulator& sums, std::int64_t offset, std::size_t span)
    {
        sums.beginPass(offset, span);
        std::vector<std::byte> buffer(Piece);
        for (const std::size_t j : good_) {
            if (stopped())
                return stop();
            if (length(j) == 0)
                continue;
            const std::int64_t end = std::min<std::int64_t>(length(j), offset + static_cast<std::int64_t>(span));
            if (offset < end) {
                auto opened = job_.platform.openForReading(path(job_.folder, described(j).name));
                const ErrorCode error = opened.ok() ? sums.addFrom(*opened.value, j, end, buffer) : opened.error;
                if (error != error::None)
                    return fail(What::CannotRead, described(j).name, error);
            }
            sums.endPart(j);
            if (job_.idle)
                job_.idle();
        }
        sums.endPass(job_.idle);
        return true;
    }

    // Each chosen recovery slice's range, less the whole parts' share: what
    // the lost parts sum to there.
    bool subtractFromRecovery(const RecoveryAccumulator& sums, std::vector<AlignedBytes>& known, std::int64_t offset,
                              std::size_t span)
    {
        std::vector<std::byte> plain(span);
        for (std::size_t i = 0; i < chosen_.size(); ++i) {
            if (stopped())
                return stop();
            File* file = par2File(chosen_[i]->file);
            ErrorCode error = error::None;
            if (file == nullptr || !readAll(*file, chosen_[i]->dataOffset() + offset, plain, error))
                return fail(What::CannotReadRecovery, job_.par2Files.at(chosen_[i]->file), error);
            sums.region().toWorking(plain, known[i].get(), GfUnits(span));
            sums.region().multiplyAdd(sums.workedRange(static_cast<std::uint32_t>(i)), known[i].get(), 1, GfUnits(span));
        }
        return true;
    }

    bool writeLost(const GfRegion& region, const std::vector<AlignedBytes>& known, std::int64_t offset, std::size_t span)
    {
        const std::size_t m = withBytes_.size();
        std::vector<const std::byte*> sources;
        for (const AlignedBytes& each : known)
            sources.push_back(each.get());
        AlignedBytes out = AllocateAligned(GfUnits(span));
        std::vector<std::byte> plain(span);
        for (std::size_t k = 0; k < m; ++k) {
            const std::size_t j = withBytes_[k];
            if (offset >= length(j))
                continue;
            if (stopped())
                return stop();
            std::vector<GfRegion::Factor> factors;
            for (std::size_t i = 0; i < m; ++i)
                factors.push_back(GfRegion::prepare(matrix_[k * m + i]));
            std::memset(out.get(), 0, GfUnits(span));
            region.multiplyAddMany(sources.data(), factors.data(), m, out.get(), GfUnits(span));
            const auto data = std::span(plain).first(static_cast<std::size_t>(std::min<std::int64_t>(length(j) - offset, static_cast<std::int64_t>(span))));
            region.fromWorking(out.get(), data);
            Rebuilt& target = rebuilt_[static_cast<std::size_t>(std::find(lost_.begin(), lost_.end(), j) - lost_.begin())];
            target.hash.update(data);
            const auto wrote = target.file->writeAt(offset, data);
            if (!wrote.ok() || wrote.value != data.size())
                return fail(What::CannotWrite, described(j).name, wrote.ok() ? error::DiskFull : wrote.error);
        }
        return true;
    }

    bool checkRebuilt()
    {
        for (std::size_t k = 0; k < lost_.size(); ++k) {
            const std::string& name = described(lost_[k]).name;
            if (const ErrorCode closed = rebuilt_[k].file->close(); closed != error::None) {
                fail(What::CannotWrite, name, closed);
                return discard();
            }
            if (rebuilt_[k].hash.finish() != described(lost_[k]).md5) {
                fail(What::NotAsDescribed, name, error::None);
                return discard();
            }
        }
        for (const std::size_t j : lost_)
            result_.rebuilt.push_back(described(j).name);
        rebuilt_.clear();
        return true;
    }

    // Whatever was written goes again: no half-rebuilt part is left.
    bool discard()
    {
        for (std::size_t k = 0; k < rebuilt_.size(); ++k) {
            rebuilt_[k].file.reset();
            job_.platform.removeFile(path(job_.into, described(lost_[k]).name));
        }
        rebuilt_.clear();
        return false;
    }

    const RecoveryDecoding& job_;
    const Par2Set& set_;
    RecoveryDecoded result_;
    std::vector<std::size_t> slice_; // per file: its input slice
    std::int64_t total_ = 0;
    std::vector<std::size_t> good_;
    std::vector<std::size_t> lost_;
    std::vector<std::size_t> withBytes_; // the lost ones that have bytes: the unknowns of the system
    std::vector<const Par2RecoverySlice*> chosen_;
    std::vector<std::uint16_t> matrix_; // the system's inverse, m x m
    std::vector<std::unique_ptr<File>> files_;
    std::vector<Rebuilt> rebuilt_; // per lost part
    bool strict_ = false;
    std::atomic<bool> byCrc_{false}; // a part was found whole by its CRC32 alone
};

} // namespace

bool DecoderCanWork(const Par2Set& set)
{
    if (set.files.empty() || set.sliceSize <= 0 || !set.firstSlices())
        return false;
    return std::all_of(set.files.begin(), set.files.end(), [&](const Par2SetFile& file) {
        return file.description->length <= static_cast<std::uint64_t>(set.sliceSize) && !file.description->name.empty();
    });
}

RecoveryDecoded DecodeRecovery(const RecoveryDecoding& job)
{
    try {
        return Decoder(job).run();
    } catch (const std::exception&) {
        // Only memory can run out here: the set's limits were checked before.
        RecoveryDecoded failed;
        failed.failure = {DecodeFailure::What::CannotWrite, {}, error::NotEnoughMemory};
        return failed;
    }
}

} // namespace darvolt
