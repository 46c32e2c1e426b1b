#include "split/recoverydata.h"

#include "parts/par2tool.h"
#include "parts/recoveryencoder.h"
#include "split/splittexts.h"

#include <algorithm>

#include <unistd.h>

namespace darvolt {

RecoveryPlan PlanRecovery(std::int64_t partSize, std::int64_t sourceSize, int percent)
{
    RecoveryPlan plan;
    if (partSize <= 0 || sourceSize <= 0 || percent <= 0)
        return plan;
    plan.blockSize = (partSize + 3) / 4 * 4;
    plan.dataParts = (sourceSize + partSize - 1) / partSize;
    if (plan.dataParts > MaxRecoveredParts)
        return plan;
    // percent of the source in bytes, rounded up, without overflow
    const std::int64_t amount = sourceSize / 100 * percent + (sourceSize % 100 * percent + 99) / 100;
    const std::int64_t blocks = (amount + plan.blockSize - 1) / plan.blockSize;
    plan.recoveryBlocks = std::clamp<std::int64_t>(blocks, 1, plan.dataParts);
    return plan;
}

std::vector<std::string> RecoveryAmountOptions(const RecoveryPlan& plan)
{
    return {"-s" + std::to_string(plan.blockSize), "-c" + std::to_string(plan.recoveryBlocks)};
}

std::vector<std::string> RemoveRecoveryFiles(Platform& platform, const std::string& folder,
                                             const std::string& sourceName)
{
    std::vector<std::string> removed;
    const auto listing = platform.listDirectory(folder);
    if (!listing.ok())
        return removed;
    for (const auto& entry : listing.value)
        if (!entry.isDirectory && IsRecoveryFileOf(entry.name, sourceName)
            && platform.removeFile(folder + "/" + entry.name) == error::None)
            removed.push_back(entry.name);
    return removed;
}

std::size_t RecoveryMemoryBudget()
{
    constexpr std::size_t most = std::size_t{1} << 30;
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return most / 4;
    return std::min(most, static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize));
}

std::vector<RecoveryVolume> RecoveryVolumes(std::string_view sourceName, std::uint32_t slices)
{
    std::vector<RecoveryVolume> volumes;
    std::uint32_t largest = 0;
    for (std::uint32_t first = 0, count = 1; first < slices; first += count, count *= 2) {
        volumes.push_back({{}, first, std::min(count, slices - first)});
        largest = std::max(largest, volumes.back().count);
    }
    const auto padded = [](std::uint32_t value, std::size_t width) {
        std::string digits = std::to_string(value);
        return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
    };
    const std::size_t firstWidth = std::to_string(slices).size();
    const std::size_t countWidth = std::to_string(largest).size();
    for (RecoveryVolume& volume : volumes)
        volume.name = std::string(sourceName) + ".vol" + padded(volume.first, firstWidth) + "+"
                      + padded(volume.count, countWidth) + std::string(RecoverySuffix);
    return volumes;
}

namespace {

constexpr std::string_view Creator = "Created by Darvolt";
// Pieces read from the parts and written to the set in later passes.
constexpr std::size_t Piece = std::size_t{1} << 20;

std::string describe(ErrorCode code)
{
    return code == error::DiskFull ? "the disk is full" : "error " + std::to_string(code);
}

} // namespace

// The set's files while it is written: NAME.par2 and the volumes, each
// volume its recovery packets first and the packets every file repeats
// after them.
struct RecoveryWriter::SetFiles {
    struct Volume {
        std::unique_ptr<File> file;
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };
    std::vector<Volume> volumes;
    std::vector<Md5> hashes; // per exponent, of its packet so far
    Par2Id setId{};
    std::int64_t packetSize = 0;
    std::int64_t done = 0; // steps of the progress
    std::int64_t total = 1;
    std::int64_t shown = 0;
    ErrorCode error = error::None;

    Volume& volumeOf(std::uint32_t exponent)
    {
        for (Volume& volume : volumes)
            if (exponent < volume.first + volume.count)
                return volume;
        return volumes.back();
    }
    std::int64_t packetAt(std::uint32_t exponent)
    {
        return static_cast<std::int64_t>(exponent - volumeOf(exponent).first) * packetSize;
    }
    void writeAt(Volume& volume, std::int64_t offset, std::span<const std::byte> bytes)
    {
        if (error != error::None)
            return;
        const auto wrote = volume.file->writeAt(offset, bytes);
        if (!wrote.ok())
            error = wrote.error;
        else if (wrote.value != bytes.size())
            error = error::DiskFull;
    }
};

RecoveryWriter::RecoveryWriter(const RecoveryJob& job, File& source) : job_(job)
{
    if (job_.sourceName.find_first_of(NamesPar2CannotTake) != std::string::npos) {
        refusal_ = texts::RecoveryNameUnsupported;
        return;
    }
    plan_ = PlanRecovery(job_.partSize, job_.sourceSize, job_.percent);
    if (!plan_.possible()) {
        refusal_ = texts::recoveryTooManyParts(plan_.dataParts);
        return;
    }
    std::vector<Par2File> files(static_cast<std::size_t>(plan_.dataParts));
    std::vector<std::byte> first(Par2First16k);
    for (std::size_t part = 0; part < files.size(); ++part) {
        Par2File& file = files[part];
        const std::int64_t offset = static_cast<std::int64_t>(part) * job_.partSize;
        file.name = BarePartName(job_.sourceName, static_cast<std::int64_t>(part));
        file.length = std::min(job_.partSize, job_.sourceSize - offset);
        const auto wanted = std::span(first).first(
            static_cast<std::size_t>(std::min<std::int64_t>(file.length, Par2First16k)));
        const auto read = source.readAt(offset, wanted);
        if (!read.ok() || read.value != wanted.size()) {
            refusal_ = texts::recoveryFailed("the file could not be read again");
            return;
        }
        file.md5First16k = Md5::of(wanted);
    }
    order_.resize(files.size());
    for (std::size_t i = 0; i < order_.size(); ++i)
        order_[i] = i;
    std::vector<Par2Id> ids;
    for (const Par2File& file : files)
        ids.push_back(file.id());
    std::sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) { return Par2IdBefore(ids[a], ids[b]); });

    RecoveryShape shape = ShapeRecovery(plan_.blockSize, files.size(), static_cast<std::uint32_t>(plan_.recoveryBlocks),
                                        job_.memory > 0 ? job_.memory : RecoveryMemoryBudget());
    shape.sliceIndex.resize(files.size());
    for (std::size_t rank = 0; rank < order_.size(); ++rank)
        shape.sliceIndex[order_[rank]] = rank;
    try {
        encoder_ = std::make_unique<RecoveryEncoder>(std::move(shape), std::move(files));
    } catch (const std::bad_alloc&) {
        refusal_ = texts::recoveryFailed("there is not enough memory");
    }
}

RecoveryWriter::~RecoveryWriter() = default;

std::vector<BlockConsumer*> RecoveryWriter::consumers()
{
    return encoder_ ? encoder_->consumers() : std::vector<BlockConsumer*>{};
}

bool RecoveryWriter::stopped() const
{
    return job_.stop != nullptr && job_.stop->load(std::memory_order_relaxed);
}

RecoveryEnd RecoveryWriter::finish()
{
    if (!encoder_) {
        job_.view.showMessage(refusal_);
        return RecoveryEnd::Failed;
    }
    const std::int64_t maximum = std::max<std::int64_t>(job_.sourceSize / 1024, 1);
    job_.view.setStatusText(std::string(texts::WritingRecoveryData));
    job_.view.setProgressMaximum(maximum);
    job_.view.setProgressPosition(0);
    job_.pacer.pumpNow();

    RecoveryAccumulator& work = encoder_->accumulator();
    const auto idle = [this] { job_.pacer.pace(); };
    work.endPass(idle);
    if (stopped())
        return RecoveryEnd::Interrupted;
    if (!encoder_->asReadAhead()) {
        job_.view.showMessage(texts::recoveryFailed("the file changed while it was split"));
        return RecoveryEnd::Failed;
    }

    std::vector<const Par2File*> inOrder;
    std::vector<Par2Id> ids;
    for (const std::size_t part : order_) {
        inOrder.push_back(&encoder_->files()[part]);
        ids.push_back(inOrder.back()->id());
    }
    SetFiles files;
    files.setId = Md5::of(Par2MainBody(plan_.blockSize, ids));
    files.packetSize = static_cast<std::int64_t>(Par2RecoveryPrefix) + plan_.blockSize;
    const std::string repeated = Par2CriticalPackets(files.setId, plan_.blockSize, inOrder)
                                 + Par2CreatorPacket(files.setId, Creator);
    const auto repeatedBytes = std::as_bytes(std::span(repeated.data(), repeated.size()));
    const auto slices = static_cast<std::uint32_t>(plan_.recoveryBlocks);
    for (std::uint32_t r = 0; r < slices; ++r)
        files.hashes.push_back(Par2RecoveryHashStart(files.setId, r));
    const std::int64_t passes = (plan_.blockSize + static_cast<std::int64_t>(work.shape().rangeBytes) - 1)
                                / static_cast<std::int64_t>(work.shape().rangeBytes);
    files.total = passes * slices + (passes - 1) * plan_.dataParts;

    std::vector<RecoveryVolume> names = RecoveryVolumes(job_.sourceName, slices);
    names.insert(names.begin(), {RecoveryFileName(job_.sourceName), 0, 0});
    for (const RecoveryVolume& name : names) {
        auto created = job_.platform.createFile(job_.folder + "/" + name.name);
        if (!created.ok()) {
            files.error = created.error;
            break;
        }
        files.volumes.push_back({std::move(created.value), name.first, name.count});
        files.writeAt(files.volumes.back(), name.count * files.packetSize, repeatedBytes);
    }
    // NAME.par2 holds no recovery slice; volumeOf() looks past it.
    SetFiles::Volume index = std::move(files.volumes.front());
    files.volumes.erase(files.volumes.begin());
    if (files.error == error::None && writePass(files) && morePasses(files))
        for (std::uint32_t r = 0; r < slices; ++r) {
            const std::string start = Par2RecoveryPacketStart(files.setId, r, plan_.blockSize, files.hashes[r].finish());
            files.writeAt(files.volumeOf(r), files.packetAt(r), std::as_bytes(std::span(start.data(), start.size())));
        }
    files.volumes.insert(files.volumes.begin(), std::move(index));
    return written(files);
}

bool RecoveryWriter::writePass(SetFiles& files)
{
    RecoveryAccumulator& work = encoder_->accumulator();
    const std::int64_t offset = work.passOffset();
    const auto width = static_cast<std::size_t>(std::min<std::int64_t>(
        static_cast<std::int64_t>(work.passWidth()), plan_.blockSize - offset));
    std::vector<std::byte> plain(std::min(width, Piece));
    for (std::uint32_t r = 0; r < work.shape().recoverySlices && files.error == error::None; ++r) {
        for (std::size_t at = 0; at < width; at += Piece) {
            const auto piece = std::span(plain).first(std::min(Piece, width - at));
            work.takeRange(r, at, piece);
            files.hashes[r].update(piece);
            files.writeAt(files.volumeOf(r), files.packetAt(r) + static_cast<std::int64_t>(Par2RecoveryPrefix) + offset
                                                 + static_cast<std::int64_t>(at),
                          piece);
        }
        if (!advance(files))
            return false;
    }
    return files.error == error::None;
}

bool RecoveryWriter::advance(SetFiles& files)
{
    const std::int64_t maximum = std::max<std::int64_t>(job_.sourceSize / 1024, 1);
    const std::int64_t position = ++files.done * maximum / files.total;
    if (position > files.shown) {
        job_.view.setProgressStep(position - files.shown);
        job_.view.stepProgress();
        files.shown = position;
    }
    job_.pacer.pace();
    return !stopped();
}

bool RecoveryWriter::morePasses(SetFiles& files)
{
    RecoveryAccumulator& work = encoder_->accumulator();
    const auto range = static_cast<std::int64_t>(work.shape().rangeBytes);
    std::vector<std::byte> piece(Piece);
    for (std::int64_t offset = range; offset < plan_.blockSize; offset += range) {
        const std::int64_t width = std::min(range, plan_.blockSize - offset);
        work.beginPass(offset, static_cast<std::size_t>(width));
        for (std::size_t part = 0; part < encoder_->files().size(); ++part) {
            const Par2File& file = encoder_->files()[part];
            const std::int64_t end = std::min(file.length, offset + width);
            if (offset < end) {
                auto opened = job_.platform.openForReading(job_.folder + "/" + file.name);
                if (!opened.ok()) {
                    files.error = opened.error;
                    return false;
                }
                files.error = work.addFrom(*opened.value, part, end, piece);
                if (files.error != error::None)
                    return false;
            }
            work.endPart(part);
            if (!advance(files))
                return false;
        }
        work.endPass([this] { job_.pacer.pace(); });
        if (!writePass(files))
            return false;
    }
    return true;
}

RecoveryEnd RecoveryWriter::written(SetFiles& files)
{
    if (files.error == error::None && !stopped())
        for (SetFiles::Volume& volume : files.volumes)
            if ((job_.flush && volume.file->flush() != error::None) || volume.file->close() != error::None) {
                files.error = error::DeviceError;
                break;
            }
    if (files.error == error::None && !stopped() && job_.flush && job_.platform.flushFolder(job_.folder) != error::None)
        files.error = error::DeviceError;
    if (files.error == error::None && !stopped())
        return RecoveryEnd::Written;
    files.volumes.clear(); // closed before they go
    // Half a set would only mislead whoever later needs it.
    RemoveRecoveryFiles(job_.platform, job_.folder, job_.sourceName);
    if (stopped())
        return RecoveryEnd::Interrupted;
    job_.view.showMessage(texts::recoveryFailed("it could not be written: " + describe(files.error)));
    return RecoveryEnd::Failed;
}

} // namespace darvolt
