#include "join/foreignset.h"

#include "join/checksumlist.h"
#include "join/crcfile.h"
#include "join/jointexts.h"
#include "join/sevenzipheader.h"
#include "parts/partnaming.h"
#include "platform/pathrules.h"

#include <algorithm>
#include <map>
#include <set>

namespace darvolt {

namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// How well a reading of a part's name fits the folder.
struct Fit {
    // The parts found, less the gaps among them: a set with one part lost
    // still beats the run of its last parts that has no gap (x9000 ...
    // x9012 read as x9???), and a reading that takes in stray names with
    // thousands of gaps between them (xaa and abc read as ???) loses.
    std::int64_t score = 0;
    int width = 0;
    bool widens = false;
    // Between conventions, only the score counts.
    auto key() const { return score; }
    // Between readings of GNU split's names, the longer counter wins ties
    // (x?? over xa?), then split's own default (widening).
    auto gnuKey() const { return std::tuple(score, width, widens); }
};

struct Reading {
    SetNaming naming;
    Fit fit;
};

std::optional<Fit> fitOf(const SetNaming& naming, std::string_view partName, const std::vector<std::string>& files)
{
    const auto named = naming.indexOf(partName);
    if (!named)
        return std::nullopt;
    std::set<std::int64_t> found;
    for (const std::string& file : files)
        if (const auto index = naming.indexOf(file))
            found.insert(*index);
    // A lone file that is not a first part is no set: only its name looks
    // like one.
    if (found.empty() || (found.size() < 2 && *named != 0))
        return std::nullopt;
    const auto parts = static_cast<std::int64_t>(found.size());
    const std::int64_t missing = *found.rbegin() + 1 - parts;
    return Fit{parts - missing, naming.width(), naming.counter() == SetNaming::Counter::Widening};
}

// name.001, name.0001, name.1000: a stem, a dot and three digits or more.
std::optional<Reading> numberedNaming(std::string_view partName, const std::vector<std::string>& files)
{
    const auto dot = partName.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::nullopt;
    const std::string_view digits = partName.substr(dot + 1);
    if (digits.size() < 3 || !allDigits(digits))
        return std::nullopt;
    const int width = digits.front() == '0' ? static_cast<int>(digits.size()) : 3;
    const std::string_view stem = partName.substr(0, dot);
    const std::string zero = std::string(stem) + "." + std::string(static_cast<std::size_t>(width), '0');
    const bool fromZero = std::find(files.begin(), files.end(), zero) != files.end();
    SetNaming naming = SetNaming::numbered(stem, width, fromZero ? 0 : 1);
    if (const auto fit = fitOf(naming, partName, files))
        return Reading{naming, *fit};
    return std::nullopt;
}

std::optional<Reading> gnuSplitNaming(std::string_view partName, const std::vector<std::string>& files)
{
    std::optional<Reading> best;
    // Digits before hex digits: a set of ten parts or fewer fits both alike.
    for (const std::string_view alphabet : {SetNaming::Digits, SetNaming::Letters, SetNaming::HexDigits}) {
        const auto symbol = [&](std::size_t at) { return alphabet.find(partName[at]) != std::string_view::npos; };
        // The counter ends where the additional suffix, if any, begins: at
        // a character that is no symbol.
        for (std::size_t end = partName.size(); end > 0; --end) {
            if (!symbol(end - 1) || (end < partName.size() && symbol(end)))
                continue;
            std::size_t run = 0;
            while (run < end && symbol(end - 1 - run))
                ++run;
            for (std::size_t used = 1; used <= std::min<std::size_t>(run, 24); ++used) {
                const std::string_view prefix = partName.substr(0, end - used);
                const std::string_view suffix = partName.substr(end);
                for (int width = static_cast<int>(used); width >= 1; width -= 2)
                    for (const bool widens : {false, true}) {
                        if (!widens && width != static_cast<int>(used))
                            continue;
                        const SetNaming naming = SetNaming::gnuSplit(prefix, alphabet, width, widens, suffix);
                        const auto fit = fitOf(naming, partName, files);
                        if (fit && (!best || fit->gnuKey() > best->fit.gnuKey()))
                            best = Reading{naming, *fit};
                    }
            }
        }
    }
    return best;
}

std::string stemOf(const SetNaming& naming)
{
    std::string stem = naming.prefix();
    if (!stem.empty())
        stem.pop_back(); // the dot before the number
    return stem;
}

// The joined file's name as GNU split's prefix suggests it: "photos.tar.gz."
// names photos.tar.gz for sure; "small.bin.part-" or "backup_" only
// perhaps small.bin or backup.
struct PrefixGuess {
    std::string name;
    bool certain = false;
};
PrefixGuess guessFromPrefix(std::string_view prefix)
{
    if (prefix.empty() || std::string_view(".-_").find(prefix.back()) == std::string_view::npos)
        return {};
    const char separator = prefix.back();
    std::string_view name = prefix.substr(0, prefix.size() - 1);
    bool stripped = false;
    for (const std::string_view word : {"part", "parts", "PART", "Part"})
        if (name.size() > word.size() + 1 && name.ends_with(word)
            && std::string_view(".-_").find(name[name.size() - word.size() - 1]) != std::string_view::npos) {
            name.remove_suffix(word.size() + 1);
            stripped = true;
            break;
        }
    const auto dot = name.find('.', 1);
    const bool certain = separator == '.' && !stripped && dot != std::string_view::npos && dot + 1 < name.size();
    return {std::string(name), certain && IsBareName(name)};
}

// A name the set gives that would make a hidden file (.bashrc): only on
// the user's word.
void doubtHiddenName(PartSet& set, std::string_view source)
{
    if (set.nameTold && set.sourceName.starts_with('.')) {
        set.nameTold = false;
        set.nameDoubt = texts::join::hiddenName(set.sourceName, source);
    }
}

// A numbered set's .crc file, which names the whole file and checks it;
// the message when one is there but cannot be read.
std::optional<std::string> takeCrcFile(Platform& platform, const ForeignLookup& lookup, PartSet& set,
                                       std::vector<std::string>& wholeNames)
{
    const std::string stem = stemOf(set.naming);
    wholeNames.push_back(stem);
    for (const std::string& file : lookup.files)
        if (IsCrcFileName(file) && file.substr(0, file.size() - 4) == stem) {
            auto opened = platform.openForReading(set.path(file));
            const std::optional<CrcFile> crc = opened.ok() ? ReadCrcFile(*opened.value) : std::nullopt;
            // A .crc file that cannot be read is no reason to join unchecked.
            if (!crc)
                return texts::join::notACrcFile(file);
            set.crcName = file;
            set.sizeSource = file;
            wholeNames.insert(wholeNames.begin(), crc->name);
            set.sourceName = crc->name;
            set.nameTold = true;
            set.whole = crc->crc;
            set.wholeSize = crc->size;
            set.checksumName = set.crcName;
            doubtHiddenName(set, set.crcName);
            break;
        }
    return std::nullopt;
}

// The file's name where nothing listed it: the one given, a numbered
// volume's stem (film.avi.001), or what GNU split's prefix may say.
void nameFromParts(PartSet& set, const ForeignLookup& lookup)
{
    const SetNaming& naming = set.naming;
    if (!set.sourceName.empty())
        return;
    if (!lookup.outputName.empty()) {
        set.sourceName = lookup.outputName;
    } else if (naming.convention() == SetConvention::Numbered) {
        set.sourceName = stemOf(naming);
        set.nameTold = true;
        doubtHiddenName(set, naming.name(0));
    } else {
        const PrefixGuess guess = guessFromPrefix(naming.prefix());
        set.sourceName = guess.name;
        set.nameTold = guess.certain;
        set.nameFromPrefix = guess.certain;
        if (!guess.certain && !guess.name.empty())
            set.nameDoubt = texts::join::nameGuessed(naming.name(0), texts::join::gnuSplitSet(), guess.name);
    }
}

// The set's parts: as many as a list of them says, or up to the highest
// found; the message when there are none or too many.
std::optional<std::string> listParts(Platform& platform, PartSet& set, const std::map<std::int64_t, std::string>& found,
                                     const std::optional<ListedSums>& listed)
{
    const bool partsListed = listed && !listed->parts.empty();
    const std::int64_t extent = partsListed ? listed->parts.rbegin()->first + 1
                                : found.empty() ? 0
                                                : found.rbegin()->first + 1;
    if (extent == 0)
        return texts::join::noParts(FolderShown(set.folder));
    if (extent > MaxSetParts)
        return texts::join::beyondAnySet(set.naming.name(extent - 1), MaxSetParts);
    for (std::int64_t index = 0; index < extent; ++index) {
        SetPart part;
        part.number = index;
        part.name = set.naming.name(index);
        if (partsListed)
            if (const auto digest = listed->parts.find(index); digest != listed->parts.end())
                part.expected = digest->second;
        set.parts.push_back(std::move(part));
    }
    MeasureParts(platform, set);
    for (const auto& [index, name] : found)
        if (index >= extent)
            set.extra.push_back(name);
    return std::nullopt;
}

std::optional<FoundSet> setOf(Platform& platform, const ForeignLookup& lookup, const SetNaming& naming,
                              const std::string& preferredList = {})
{
    PartSet set;
    set.folder = lookup.folder;
    set.naming = naming;
    set.nameTold = false;
    std::map<std::int64_t, std::string> found;
    for (const std::string& file : lookup.files)
        if (const auto index = naming.indexOf(file))
            found.emplace(*index, file);

    std::vector<std::string> wholeNames;
    if (naming.convention() == SetConvention::Numbered)
        if (const auto unreadable = takeCrcFile(platform, lookup, set, wholeNames))
            return FoundSet{std::nullopt, *unreadable};
    if (!lookup.outputName.empty())
        wholeNames.push_back(lookup.outputName);
    const ListLookup lists = FindChecksumList(platform, lookup.folder, lookup.files, naming, wholeNames, preferredList);
    if (!lists.unreadable.empty())
        return FoundSet{std::nullopt, lists.unreadable};
    const std::optional<ListedSums>& listed = lists.sums;
    if (listed) {
        set.checksumName = listed->listName;
        if (listed->whole) {
            set.whole = listed->whole->digest;
            if (set.sourceName.empty()) {
                set.sourceName = listed->whole->name;
                set.nameTold = true;
                doubtHiddenName(set, listed->listName);
            }
        }
    }
    nameFromParts(set, lookup);
    if (const auto none = listParts(platform, set, found, listed))
        return FoundSet{std::nullopt, *none};
    // 7-Zip volumes tell their archive's size in the first one.
    if (!set.wholeSize && naming.convention() == SetConvention::Numbered && set.parts.front().present)
        if (auto first = platform.openForReading(set.path(set.parts.front().name)); first.ok())
            if (const auto size = SevenZipArchiveSize(*first.value)) {
                set.wholeSize = size;
                set.sizeSource = set.parts.front().name;
            }
    return FoundSet{std::move(set), {}};
}

} // namespace

std::optional<SetNaming> RecogniseNaming(std::string_view partName, const std::vector<std::string>& files)
{
    // x.9005 is a volume of numbered ones, or one of GNU split's x.00 ...
    // x.89, x.9000 ...: whichever fits the folder better, volumes on a tie.
    const auto numbered = numberedNaming(partName, files);
    const auto gnu = gnuSplitNaming(partName, files);
    if (numbered && (!gnu || numbered->fit.key() >= gnu->fit.key()))
        return numbered->naming;
    return gnu ? std::optional(gnu->naming) : std::nullopt;
}

std::optional<FoundSet> ForeignSetOfFile(Platform& platform, const ForeignLookup& lookup, const std::string& name)
{
    if (IsCrcFileName(name)) {
        // The volumes beside it are named after it: foo.crc, foo.001.
        const std::string stem = name.substr(0, name.size() - 4);
        for (const std::string& file : lookup.files)
            if (file.starts_with(stem + "."))
                if (const auto numbered = numberedNaming(file, lookup.files);
                    numbered && stemOf(numbered->naming) == stem)
                    return setOf(platform, lookup, numbered->naming);
        return FoundSet{std::nullopt, texts::join::noParts(FolderShown(lookup.folder))};
    }
    if (IsChecksumListName(name)) {
        const auto entries = ReadChecksumList(platform, InFolder(lookup.folder, name));
        // Our own parts are ours to join, with our own checksum file.
        for (const ChecksumEntry& entry : entries.value_or(std::vector<ChecksumEntry>{}))
            if (IsBareName(entry.name) && !ParsePartName(entry.name)
                && std::find(lookup.files.begin(), lookup.files.end(), entry.name) != lookup.files.end())
                if (const auto naming = RecogniseNaming(entry.name, lookup.files))
                    return setOf(platform, lookup, *naming, name);
        return std::nullopt;
    }
    if (const auto naming = RecogniseNaming(name, lookup.files))
        return setOf(platform, lookup, *naming);
    return std::nullopt;
}

std::optional<FoundSet> NumberedSetInFolder(Platform& platform, const ForeignLookup& lookup)
{
    // Each set by its first volume (.000 or .001, told before the folder
    // is read again for each): a number on its own is no set.
    const auto first = [](std::string_view name) {
        const auto dot = name.rfind('.');
        const std::string_view digits = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
        return digits.size() >= 3 && allDigits(digits)
               && digits.find_first_not_of('0') >= digits.size() - 1 && digits.back() <= '1';
    };
    // The folder's numbered names by stem, once: each first volume is then
    // measured against its own stem's names only, so a folder of thousands
    // of sets costs no more than reading its names.
    std::map<std::string_view, std::vector<std::string>> byStem;
    for (const std::string& file : lookup.files)
        if (const auto dot = file.rfind('.'); dot != std::string::npos && dot > 0)
            if (const std::string_view digits = std::string_view(file).substr(dot + 1); digits.size() >= 3 && allDigits(digits))
                byStem[std::string_view(file).substr(0, dot)].push_back(file);
    std::map<std::string, SetNaming> sets;
    for (const auto& [stem, files] : byStem)
        for (const std::string& file : files)
            if (first(file))
                if (const auto numbered = numberedNaming(file, files); numbered && numbered->naming.indexOf(file) == 0)
                    sets.emplace(stemOf(numbered->naming), numbered->naming);
    if (sets.empty())
        return std::nullopt;
    if (sets.size() > 1) {
        std::vector<std::string> stems;
        for (const auto& [stem, naming] : sets)
            stems.push_back(stem);
        return FoundSet{std::nullopt, texts::join::severalSets(lookup.input, stems)};
    }
    return setOf(platform, lookup, sets.begin()->second);
}

std::optional<FoundSet> GnuSplitSetInFolder(Platform& platform, const ForeignLookup& lookup)
{
    // Each reading of a first part weighs the whole folder, so only so many
    // are weighed: a folder of more first parts than that holds no one set.
    constexpr std::size_t MostFirstParts = 16;
    std::vector<std::string> firsts;
    for (const std::string& file : lookup.files)
        if (file.size() > 2 && (file.ends_with("aa") || file.ends_with("00")))
            firsts.push_back(file);
    if (firsts.empty())
        return std::nullopt;
    if (firsts.size() > MostFirstParts)
        return FoundSet{std::nullopt, texts::join::severalSets(lookup.input, firsts)};
    std::map<std::string, SetNaming> sets;
    for (const std::string& file : firsts)
        if (const auto naming = RecogniseNaming(file, lookup.files);
            naming && naming->convention() == SetConvention::GnuSplit && naming->indexOf(file) == 0)
            sets.emplace(naming->prefix() + "|" + naming->suffix(), *naming);
    if (sets.empty())
        return std::nullopt;
    if (sets.size() > 1) {
        std::vector<std::string> names;
        for (const auto& [key, naming] : sets)
            names.push_back(naming.name(0));
        return FoundSet{std::nullopt, texts::join::severalSets(lookup.input, names)};
    }
    return setOf(platform, lookup, sets.begin()->second);
}

} // namespace darvolt
