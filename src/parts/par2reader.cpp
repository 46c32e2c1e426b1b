#include "parts/par2reader.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>

namespace darvolt {

namespace {

constexpr std::string_view Magic{"PAR2\0PKT", 8};
constexpr std::size_t Window = std::size_t{1} << 20;
constexpr std::size_t DescriptionFixed = 56;   // file ID, two MD5s, length
constexpr std::size_t SliceChecksumsFixed = 16; // file ID
constexpr std::size_t SliceChecksumSize = 20;   // MD5 and CRC32
// What one file may hold before it is more than any set: the limits of a
// set, twice over (a file repeats its set's critical packets).
constexpr std::size_t MostMains = 64;
constexpr std::size_t MostDescriptions = 2 * Par2MaxInputSlices;
constexpr std::size_t MostSliceChecksums = 2 * Par2MaxInputSlices;
constexpr std::size_t MostRecoverySlices = 2 * Par2ExponentLimit;

using ReadAt = std::function<bool(std::int64_t offset, std::span<std::byte> buffer)>;

enum class Kind { Main, Description, SliceChecksums, Recovery, Other };

Kind kindOf(std::span<const std::byte> type)
{
    const std::string_view text(reinterpret_cast<const char*>(type.data()), type.size());
    if (text == par2type::Main)
        return Kind::Main;
    if (text == par2type::FileDescription)
        return Kind::Description;
    if (text == par2type::SliceChecksums)
        return Kind::SliceChecksums;
    if (text == par2type::RecoverySlice)
        return Kind::Recovery;
    return Kind::Other;
}

// The most a packet of a kind that is read whole may claim: what its
// fields can hold within PAR2's limits. Recovery slices and packets of no
// use here are never read, whatever they claim.
std::uint64_t largestOf(Kind kind)
{
    switch (kind) {
    case Kind::Main: return Par2HeaderSize + 12 + 16 * 2 * Par2MaxInputSlices;
    case Kind::Description: return Par2HeaderSize + DescriptionFixed + Par2LongestName;
    case Kind::SliceChecksums: return Par2HeaderSize + SliceChecksumsFixed + SliceChecksumSize * Par2MaxInputSlices;
    case Kind::Recovery:
    case Kind::Other: break;
    }
    return 0;
}

void takeMain(Par2Contents& out, const Par2Id& set, std::span<const std::byte> body)
{
    if (body.size() < 12 || (body.size() - 12) % 16 != 0)
        return;
    const std::uint64_t sliceSize = Par2Number(body.data(), 8);
    const std::uint64_t count = Par2Number(body.data() + 8, 4);
    if (sliceSize == 0 || sliceSize % 4 != 0 || sliceSize > static_cast<std::uint64_t>(INT64_MAX)
        || count > (body.size() - 12) / 16 || count > Par2MaxInputSlices)
        return;
    if (std::any_of(out.mains.begin(), out.mains.end(), [&](const Par2MainPacket& main) { return main.setId == set; }))
        return; // a copy
    if (out.mains.size() == MostMains) {
        out.overfull = true;
        return;
    }
    Par2MainPacket main{set, static_cast<std::int64_t>(sliceSize), {}};
    for (std::uint64_t i = 0; i < count; ++i)
        main.files.push_back(Par2IdAt(body.data() + 12 + 16 * i));
    out.mains.push_back(std::move(main));
}

void takeDescription(Par2Contents& out, const Par2Id& set, std::span<const std::byte> body)
{
    if (body.size() <= DescriptionFixed)
        return;
    if (out.descriptions.size() == MostDescriptions) {
        out.overfull = true;
        return;
    }
    Par2Description description{set,
                                Par2IdAt(body.data()),
                                Par2IdAt(body.data() + 16),
                                Par2IdAt(body.data() + 32),
                                Par2Number(body.data() + 48, 8),
                                {}};
    const auto name = body.subspan(DescriptionFixed);
    const auto end = std::find(name.begin(), name.end(), std::byte{0});
    const auto length = std::min(static_cast<std::size_t>(end - name.begin()), LongestFileName + 1);
    description.name.assign(reinterpret_cast<const char*>(name.data()), length);
    out.descriptions.push_back(std::move(description));
}

// `kept`: the slice checksums the file's earlier packets gave.
void takeSliceChecksums(Par2Contents& out, const Par2Id& set, std::span<const std::byte> body, std::size_t& kept)
{
    if (body.size() < SliceChecksumsFixed || (body.size() - SliceChecksumsFixed) % SliceChecksumSize != 0)
        return;
    const std::size_t count = (body.size() - SliceChecksumsFixed) / SliceChecksumSize;
    if (kept + count > MostSliceChecksums) {
        out.overfull = true;
        return;
    }
    kept += count;
    Par2SliceHashes hashes{set, Par2IdAt(body.data()), {}};
    for (std::size_t at = SliceChecksumsFixed; at < body.size(); at += SliceChecksumSize)
        hashes.slices.push_back({Par2IdAt(body.data() + at), static_cast<std::uint32_t>(Par2Number(body.data() + at + 16, 4))});
    out.sliceHashes.push_back(std::move(hashes));
}

// One pass over a file: where a packet may start is found a window at a
// time, and each position is looked at once.
class Scan {
public:
    Scan(ReadAt read, std::int64_t size, std::size_t index, const std::atomic<bool>* stop)
        : read_(std::move(read)), size_(size), index_(index), stop_(stop)
    {
    }

    Par2Contents run()
    {
        Par2Contents out;
        std::int64_t at = 0;
        while (at + static_cast<std::int64_t>(Par2HeaderSize) <= size_) {
            if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
                out.complete = false;
                break;
            }
            // Packets usually follow one another: only where none begins is
            // the file searched, a window at a time.
            if (const std::int64_t length = packet(at, out); length > 0) {
                at += length;
                continue;
            }
            const std::optional<std::int64_t> start = nextMagic(at + 1);
            if (!start)
                break;
            at = *start;
        }
        out.complete = out.complete && !failed_;
        return out;
    }

private:
    // Bytes past the packet that starts at `at`: its length when it is one
    // (whether or not its hash held), 1 when only the magic is there, 0 when
    // not even that.
    std::int64_t packet(std::int64_t at, Par2Contents& out)
    {
        std::array<std::byte, Par2RecoveryPrefix> header{};
        const bool withExponent = at + static_cast<std::int64_t>(header.size()) <= size_;
        if (!read(at, std::span(header).first(withExponent ? header.size() : Par2HeaderSize)))
            return size_ - at; // the rest cannot be read
        if (std::memcmp(header.data(), Magic.data(), Magic.size()) != 0)
            return 0;
        const std::uint64_t length = Par2Number(header.data() + 8, 8);
        if (length < Par2HeaderSize || length % 4 != 0 || length > static_cast<std::uint64_t>(size_ - at))
            return 1;
        const Par2Id hash = Par2IdAt(header.data() + 16);
        const Par2Id set = Par2IdAt(header.data() + 32);
        const Kind kind = kindOf(std::span(header).subspan(48, 16));
        if (kind == Kind::Recovery) {
            if (length < Par2RecoveryPrefix)
                return 1;
            if (out.recovery.size() == MostRecoverySlices) {
                out.overfull = true;
                return static_cast<std::int64_t>(length);
            }
            out.recovery.push_back({index_, at, length, static_cast<std::uint32_t>(Par2Number(header.data() + 64, 4)),
                                    set, hash});
            return static_cast<std::int64_t>(length);
        }
        if (kind == Kind::Other)
            return static_cast<std::int64_t>(length);
        // A length its type cannot have: no such packet starts here.
        if (length > largestOf(kind))
            return 1;
        body_.resize(length - 32);
        if (!read(at + 32, body_))
            return static_cast<std::int64_t>(length);
        if (Md5::of(body_) != hash)
            return static_cast<std::int64_t>(length);
        const auto body = std::span<const std::byte>(body_).subspan(32);
        if (kind == Kind::Main)
            takeMain(out, set, body);
        else if (kind == Kind::Description)
            takeDescription(out, set, body);
        else
            takeSliceChecksums(out, set, body, sliceChecksums_);
        return static_cast<std::int64_t>(length);
    }

    // The first position from `from` on where the magic stands, through a
    // window that moves only forward.
    std::optional<std::int64_t> nextMagic(std::int64_t from)
    {
        for (;;) {
            if (from + static_cast<std::int64_t>(Par2HeaderSize) > size_)
                return std::nullopt;
            if (from < windowAt_ || from + static_cast<std::int64_t>(Magic.size()) > windowAt_ + static_cast<std::int64_t>(window_.size())) {
                const auto want = static_cast<std::size_t>(std::min<std::int64_t>(Window, size_ - from));
                window_.resize(want);
                windowAt_ = from;
                if (!read(from, window_))
                    return std::nullopt;
            }
            const std::string_view text(reinterpret_cast<const char*>(window_.data()), window_.size());
            const auto found = text.find(Magic, static_cast<std::size_t>(from - windowAt_));
            if (found != std::string_view::npos)
                return windowAt_ + static_cast<std::int64_t>(found);
            // Not in this window: on from where a magic could still begin.
            from = windowAt_ + static_cast<std::int64_t>(window_.size() - std::min(window_.size(), Magic.size() - 1));
            if (from <= windowAt_)
                from = windowAt_ + 1;
            windowAt_ = -1;
            window_.clear();
        }
    }

    bool read(std::int64_t offset, std::span<std::byte> buffer)
    {
        if (read_(offset, buffer))
            return true;
        failed_ = true;
        return false;
    }

    ReadAt read_;
    std::int64_t size_;
    std::size_t index_;
    const std::atomic<bool>* stop_;
    std::vector<std::byte> window_;
    std::int64_t windowAt_ = -1;
    std::vector<std::byte> body_;
    std::size_t sliceChecksums_ = 0;
    bool failed_ = false;
};

bool endsWithPar2(std::string_view name)
{
    if (name.size() < 5)
        return false;
    std::string tail(name.substr(name.size() - 5));
    std::transform(tail.begin(), tail.end(), tail.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return tail == ".par2";
}

// par2's own reading of an index's name: ".par2" off, then whatever
// after the last dot reads as the start of "vol<digits>+<digits>" (or "-").
std::string_view par2Stem(std::string_view index)
{
    const std::string_view stem = endsWithPar2(index) ? index.substr(0, index.size() - 5) : index;
    const auto dot = stem.rfind('.');
    if (dot == std::string_view::npos)
        return stem;
    int state = 0;
    for (const char c : stem.substr(dot + 1)) {
        const char lower = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        const bool digit = c >= '0' && c <= '9';
        if (state < 3 && lower == "vol"[state])
            ++state;
        else if (state == 3 && (c == '+' || c == '-'))
            ++state;
        else if (state < 3 || !digit)
            return stem;
    }
    return stem.substr(0, dot);
}

} // namespace

bool IsPar2FileName(std::string_view name)
{
    return name.size() > 5 && endsWithPar2(name);
}

bool Par2ReadsWith(std::string_view index, std::string_view name)
{
    if (name == index)
        return true;
    const std::string_view stem = par2Stem(index);
    return IsPar2FileName(name) && (stem.empty() || (name.size() > stem.size() + 1 && name.starts_with(stem) && name[stem.size()] == '.'));
}

Par2Contents ReadPar2(File& file, std::size_t index, const std::atomic<bool>* stop)
{
    const auto size = file.size();
    if (!size.ok())
        return Par2Contents{{}, {}, {}, {}, false};
    return Scan(
               [&file](std::int64_t offset, std::span<std::byte> buffer) {
                   const auto got = file.readAt(offset, buffer);
                   return got.ok() && got.value == buffer.size();
               },
               size.value, index, stop)
        .run();
}

Par2Contents ReadPar2(std::span<const std::byte> bytes)
{
    return Scan(
               [bytes](std::int64_t offset, std::span<std::byte> buffer) {
                   if (offset < 0 || static_cast<std::uint64_t>(offset) + buffer.size() > bytes.size())
                       return false;
                   std::memcpy(buffer.data(), bytes.data() + offset, buffer.size());
                   return true;
               },
               static_cast<std::int64_t>(bytes.size()), 0, nullptr)
        .run();
}

bool Par2Set::described() const
{
    return std::all_of(files.begin(), files.end(), [](const Par2SetFile& file) { return file.description.has_value(); });
}

std::optional<std::vector<std::size_t>> Par2Set::firstSlices() const
{
    std::vector<std::size_t> first;
    std::uint64_t next = 0;
    const auto size = static_cast<std::uint64_t>(sliceSize);
    for (const Par2SetFile& file : files) {
        if (!file.description)
            return std::nullopt;
        first.push_back(static_cast<std::size_t>(next));
        const std::uint64_t length = file.description->length;
        next += length / size + (length % size != 0 ? 1 : 0);
        if (next > Par2MaxInputSlices)
            return std::nullopt;
    }
    return first;
}

Par2Catalogue::Par2Catalogue(std::span<const Par2Contents> contents)
{
    for (const Par2Contents& each : contents) {
        for (const Par2Description& description : each.descriptions)
            descriptions_.emplace(Key(description.setId, description.fileId), &description);
        for (const Par2SliceHashes& hashes : each.sliceHashes)
            slices_.emplace(Key(hashes.setId, hashes.fileId), &hashes.slices);
        for (const Par2RecoverySlice& slice : each.recovery)
            recovery_[slice.setId].push_back(slice);
    }
}

const Par2Description* Par2Catalogue::description(const Par2Id& set, const Par2Id& file) const
{
    const auto found = descriptions_.find(Key(set, file));
    return found == descriptions_.end() ? nullptr : found->second;
}

const std::vector<Par2SliceChecksum>* Par2Catalogue::slices(const Par2Id& set, const Par2Id& file) const
{
    const auto found = slices_.find(Key(set, file));
    return found == slices_.end() ? nullptr : found->second;
}

const std::vector<Par2RecoverySlice>* Par2Catalogue::recovery(const Par2Id& set) const
{
    const auto found = recovery_.find(set);
    return found == recovery_.end() ? nullptr : &found->second;
}

Par2Set Par2SetOf(const Par2MainPacket& main, const Par2Catalogue& catalogue)
{
    Par2Set set{main.setId, main.sliceSize, {}, {}};
    std::map<Par2Id, std::size_t> place;
    for (const Par2Id& id : main.files)
        if (place.emplace(id, set.files.size()).second) {
            Par2SetFile file{id, std::nullopt, std::nullopt};
            if (const Par2Description* description = catalogue.description(set.id, id))
                file.description = *description;
            if (const auto* slices = catalogue.slices(set.id, id))
                file.slices = *slices;
            set.files.push_back(std::move(file));
        }
    const std::uint64_t recoveryLength = Par2RecoveryPrefix + static_cast<std::uint64_t>(main.sliceSize);
    if (const auto* recovery = catalogue.recovery(set.id))
        for (const Par2RecoverySlice& slice : *recovery)
            if (slice.length == recoveryLength && slice.exponent < Par2ExponentLimit)
                set.recovery.push_back(slice);
    std::stable_sort(set.recovery.begin(), set.recovery.end(),
                     [](const Par2RecoverySlice& a, const Par2RecoverySlice& b) { return a.exponent < b.exponent; });
    return set;
}

Par2Set Par2SetOf(const Par2MainPacket& main, std::span<const Par2Contents> contents)
{
    return Par2SetOf(main, Par2Catalogue(contents));
}

bool Par2SliceHolds(File& file, const Par2RecoverySlice& slice, std::span<std::byte> buffer,
                    const std::atomic<bool>* stop)
{
    Md5 hash = Par2RecoveryHashStart(slice.setId, slice.exponent);
    const auto data = static_cast<std::int64_t>(slice.length - Par2RecoveryPrefix);
    for (std::int64_t at = 0; at < data;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return false;
        const auto wanted = buffer.first(static_cast<std::size_t>(std::min<std::int64_t>(data - at, static_cast<std::int64_t>(buffer.size()))));
        const auto got = file.readAt(slice.dataOffset() + at, wanted);
        if (!got.ok() || got.value != wanted.size())
            return false;
        hash.update(wanted);
        at += static_cast<std::int64_t>(wanted.size());
    }
    return hash.finish() == slice.hash;
}

} // namespace darvolt
