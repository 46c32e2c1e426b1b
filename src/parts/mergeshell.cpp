#include "parts/mergeshell.h"

#include <algorithm>

namespace darvolt {

std::string ShellQuoted(std::string_view bytes)
{
    std::string word = "'";
    for (const char c : bytes) {
        if (c == '\'')
            word += "'\\''";
        else
            word += c;
    }
    word += '\'';
    return word;
}

namespace {

// The quoted here-document of sha256sum -c: the lines of the checksum file,
// none of which can be the end marker (each starts with a hex digit or a
// backslash, and names in them never hold a raw line feed).
constexpr std::string_view EndOfSums = "DARVOLT_END_OF_SUMS";

std::string sumsDocument(const std::vector<ChecksumEntry>& entries)
{
    std::string text;
    for (const auto& entry : entries)
        text += ChecksumLine(entry);
    return text + std::string(EndOfSums) + "\n";
}

constexpr std::string_view Head = R"(#!/bin/sh
# Joins the parts of a file that Darvolt 2.1 split, as MERGE.BAT does on
# Windows. Run it in the folder that holds every part:   sh merge.sh
# It checks the parts with sha256sum where that command exists, joins them
# in order into the file's own name (never over an existing file), checks
# the result and then asks whether to erase the parts. Names appear only
# between single quotes, so none of them can do anything but name a file.

)";

// merge.sh runs in the parts' folder, where an empty, "." or other relative
// entry of PATH would run a par2, sha256sum, cat or rm that came with the
// parts. An empty PATH, too, means the current folder to sh.
constexpr std::string_view AbsolutePath = R"(dirs=
rest=$PATH:
while [ -n "$rest" ]; do
    dir=${rest%%:*}
    rest=${rest#*:}
    case $dir in
    /*) dirs=$dirs${dirs:+:}$dir ;;
    esac
done
PATH=${dirs:-/usr/bin:/bin}
export PATH

)";

constexpr std::string_view Body = R"(
made=
say() { printf '%s\n' "$*"; }
fail() {
    printf 'merge.sh: %s\n' "$*" >&2
    if [ -n "$made" ]; then
        rm -f -- "$target"
        printf 'merge.sh: %s\n' "$target was removed again" >&2
    fi
    exit 1
}
trap 'fail "interrupted"' HUP INT TERM

missing=
for part do
    if [ ! -f "$part" ]; then
        printf 'merge.sh: part %s is missing\n' "$part" >&2
        missing=1
    fi
done
if [ -n "$missing" ]; then
    fail "run this script in the folder that holds every part"
fi
if [ -e "$target" ] || [ -L "$target" ]; then
    fail "$target already exists; it is never replaced: move it away first"
fi

)";

// With recovery data: rebuilds what is missing or damaged, or says why it
// cannot. par2 keeps a damaged part beside the rebuilt one as NAME.1 (or
// the first NAME.N that is free), which goes once the rebuilt parts have
// passed their check: joined by hand as NAME.!*, it would be taken for a
// part.
constexpr std::string_view Repair = R"(
kept=
dropcopies() {
    for part do
        n=${kept# }
        n=${n%% *}
        kept=${kept# }
        kept=${kept#"$n"}
        if [ -n "$n" ] && [ -f "$part.$n" ] && [ ! -L "$part.$n" ]; then
            rm -f -- "$part.$n" && say "par2 kept the damaged part as $part.$n; it was removed once the rebuilt parts passed their check"
        fi
    done
}
repair() {
    if [ ! -f "$recovery" ]; then
        printf 'merge.sh: %s\n' "the recovery data $recovery are not here either" >&2
        return 1
    fi
    if ! command -v par2 >/dev/null 2>&1; then
        printf 'merge.sh: %s\n' "par2 is not installed: install it (apt-get install par2) to rebuild the parts from $recovery" >&2
        return 1
    fi
    # par2 writes what it rebuilds, and moves damaged files aside, under
    # names in this folder, and would write through a link in their place.
    linked=
    for entry in * .[!.]* ..?*; do # the parts and $recovery among them
        if [ -L "$entry" ]; then
            printf 'merge.sh: %s\n' "$entry is a symbolic link, which par2 could write through" >&2
            linked=1
        fi
    done
    if [ -n "$linked" ]; then
        printf 'merge.sh: %s\n' "nothing was rebuilt from $recovery" >&2
        return 1
    fi
    # The set may describe any file, which par2 would then rewrite: only the
    # parts, named as they are in this script, may be rebuilt. par2 verify
    # names each file of the set in full on a "Target:" line, or on a
    # "File:" line where it finds none of a damaged file's data (its
    # "Opening:" lines shorten long names); awk compares the names with the
    # parts (those with a line break cannot be in its lines and are left
    # out) and fails unless it saw as many names as the set holds files.
    newline='
'
    if ! outside=$(
        {
            for part do
                case $part in
                *"$newline"*) ;;
                *) printf '%s\n' "$part" ;;
                esac
            done
            printf '\n'
            par2 verify -- "$recovery"
        } | LC_ALL=C awk '
            !listing { if ($0 == "") listing = 1; else part[$0] = 1; next }
            { sub(/.*\r/, ""); name = "" }
            /^There are [0-9]+ recoverable files and 0 other files\.$/ { files = $3 }
            /^(Target|File): ".*" - [^"]*$/ { name = $0; sub(/^[A-Za-z]+: "/, "", name); sub(/" - [^"]*$/, "", name) }
            name == "" || name in seen { next }
            { seen[name] = 1; named++ }
            !(name in part) { print "    " name }
            END { exit (files == "" || named != files) }'
    ); then
        printf 'merge.sh: %s\n' "par2 did not list every file that the recovery data $recovery describe; nothing was rebuilt" >&2
        return 1
    fi
    if [ -n "$outside" ]; then
        printf 'merge.sh: %s\n' "the recovery data $recovery also describe these files, which are not parts of this set; nothing was rebuilt:" >&2
        printf '%s\n' "$outside" >&2
        return 1
    fi
    say "Rebuilding the parts with par2 from $recovery ..."
    # The copies par2 makes take the first number free now.
    kept=
    for part do
        n=1
        while [ -e "$part.$n" ] || [ -L "$part.$n" ]; do
            n=$((n + 1))
        done
        kept="$kept $n"
    done
    par2 repair -- "$recovery" || {
        printf 'merge.sh: %s\n' "par2 could not rebuild the parts from $recovery" >&2
        return 1
    }
}
)";

constexpr std::string_view JoinAndAsk = R"(
say "Joining $# parts into $target ..."
set -C
{ made=1; cat -- "$@"; } > "$target" || fail "the parts could not be joined into $target"
set +C
)";

constexpr std::string_view Tail = R"(made=
trap - HUP INT TERM
say "$target is complete."
printf 'Erase the parts? [y/N] '
answer=
read -r answer || say ""
case $answer in
[Yy] | [Yy][Ee][Ss]) rm -f -- "$@" && say "The parts were erased." ;;
*) say "The parts were kept." ;;
esac
)";

} // namespace

std::string MergeShellText(std::string_view sourceName, const std::vector<std::string>& bareParts,
                           const std::vector<ChecksumEntry>& sums, std::string_view recoveryName)
{
    const bool recovery = !recoveryName.empty();
    std::string text(Head);
    text += AbsolutePath;
    text += "target=" + ShellQuoted(sourceName) + "\n";
    if (recovery)
        text += "recovery=" + ShellQuoted(recoveryName) + "\n";
    text += "set --";
    for (const auto& part : bareParts)
        text += " \\\n    " + ShellQuoted(part);
    text += "\n";
    std::string body(Body);
    if (recovery) {
        constexpr std::string_view missing = "    fail \"run this script in the folder that holds every part\"";
        body.replace(body.find(missing), 4, "    repair \"$@\" || ");
        body.insert(0, Repair);
    }
    text += body;

    const bool checked = sums.size() == bareParts.size() + 1;
    const std::string damaged = "fail \"a part marked FAILED above was damaged; nothing was joined\"";
    if (checked && recovery) {
        const std::vector<ChecksumEntry> partSums(sums.begin(), sums.end() - 1);
        text += "checkparts() {\n"
                "    sha256sum -c <<'" + std::string(EndOfSums) + "'\n"
                + sumsDocument(partSums)
                + "}\n"
                  "checked=\n"
                  "if command -v sha256sum >/dev/null 2>&1; then\n"
                  "    say \"Checking the parts ...\"\n"
                  "    if ! checkparts; then\n"
                  "        repair \"$@\" || " + damaged + "\n"
                  "        say \"Checking the rebuilt parts ...\"\n"
                  "        checkparts || " + damaged + "\n"
                  "    fi\n"
                  "    checked=1\n"
                  "else\n"
                  "    say \"sha256sum was not found: the parts and the joined file cannot be checked.\"\n"
                  "fi\n";
    } else if (checked) {
        const std::vector<ChecksumEntry> partSums(sums.begin(), sums.end() - 1);
        text += "checked=\n"
                "if command -v sha256sum >/dev/null 2>&1; then\n"
                "    say \"Checking the parts ...\"\n"
                "    sha256sum -c <<'" + std::string(EndOfSums) + "' || " + damaged + "\n"
                + sumsDocument(partSums)
                + "    checked=1\n"
                  "else\n"
                  "    say \"sha256sum was not found: the parts and the joined file cannot be checked.\"\n"
                  "fi\n";
    } else if (recovery) {
        // par2's own checksums are the only ones there are.
        text += "checked=\n"
                "if command -v par2 >/dev/null 2>&1; then\n"
                "    say \"Checking the parts with par2 ...\"\n"
                "    par2 verify -- \"$recovery\" >/dev/null 2>&1 || repair \"$@\" || "
                "fail \"the parts are damaged and could not be rebuilt; nothing was joined\"\n"
                "else\n"
                "    say \"No checksums were made for these parts, and par2 is not installed: they cannot be checked.\"\n"
                "fi\n";
    } else {
        text += "checked=\n"
                "say \"No checksums were made for these parts: they cannot be checked.\"\n";
    }
    if (recovery)
        text += "dropcopies \"$@\"\n";
    text += JoinAndAsk;
    if (checked)
        text += "if [ -n \"$checked\" ]; then\n"
                "    sha256sum -c <<'" + std::string(EndOfSums) + "' || fail \"$target does not match the file that was split\"\n"
                + sumsDocument({sums.back()})
                + "fi\n";
    text += Tail;
    return text;
}

// The parts a merge.sh of this source lists after "set --", one quoted
// name a line.
std::optional<std::size_t> MergeShellPartCount(std::string_view text, std::string_view sourceName)
{
    const std::string target = "\ntarget=" + ShellQuoted(sourceName) + "\n";
    const auto list = text.find("\nset --");
    if (text.find(target) == std::string_view::npos || list == std::string_view::npos)
        return std::nullopt;
    std::size_t count = 0;
    std::string_view rest = text.substr(list + 1);
    bool more = rest.substr(0, rest.find('\n')).ends_with(" \\");
    while (more) {
        rest.remove_prefix(std::min(rest.size(), rest.find('\n') + 1));
        const std::string_view line = rest.substr(0, rest.find('\n'));
        if (!line.starts_with("    '"))
            return std::nullopt;
        ++count;
        more = line.ends_with(" \\");
    }
    return count;
}

} // namespace darvolt
