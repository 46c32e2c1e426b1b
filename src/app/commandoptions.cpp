#include "app/commandoptions.h"

#include <algorithm>
#include <getopt.h>
#include <string_view>

namespace darvolt {

namespace {

// getopt_long answers a long option by its table value and a short one by
// its letter; long values start above every letter.
constexpr int LongBase = 0x100;

// The problem getopt_long found, in the words it would have printed itself.
// It is told to print nothing (opterr 0) so that the words go where the
// program sends them; what it leaves in optopt and the argument it stopped
// at tell which of its messages applies.
std::string describeProblem(int answer, int missingOrBad, std::string_view argument,
                            std::span<const CommandOption> table)
{
    if (missingOrBad >= LongBase) {
        const std::string name = table[static_cast<std::size_t>(missingOrBad - LongBase)].name;
        return answer == ':' ? "option '--" + name + "' requires an argument"
                             : "option '--" + name + "' doesn't allow an argument";
    }
    if (missingOrBad != 0) {
        const std::string letter(1, static_cast<char>(missingOrBad));
        return answer == ':' ? "option requires an argument -- '" + letter + "'"
                             : "invalid option -- '" + letter + "'";
    }
    // A long option that names none of the table, or more than one of it.
    std::string_view given = argument.substr(2);
    given = given.substr(0, given.find('='));
    std::string candidates;
    int matches = 0;
    for (const CommandOption& option : table)
        if (std::string_view(option.name).starts_with(given)) {
            candidates += std::string(" '--") + option.name + "'";
            ++matches;
        }
    if (matches > 1)
        return "option '--" + std::string(given) + "' is ambiguous; possibilities:" + candidates;
    return "unrecognized option '" + std::string(argument.substr(0, argument.find('='))) + "'";
}

} // namespace

CommandLine ReadCommandLine(const std::vector<std::string>& args, std::span<const CommandOption> table)
{
    // getopt_long reorders the arguments it is given, so it gets copies.
    std::vector<std::string> storage{"darvolt"};
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(storage.size());

    // ":" first: a missing value answers ':' rather than '?'.
    std::string letters = ":";
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const CommandOption& o = table[i];
        longOptions.push_back({o.name, o.takesValue ? required_argument : no_argument, nullptr,
                               LongBase + static_cast<int>(i)});
        if (o.letter != 0)
            letters += std::string(1, o.letter) + (o.takesValue ? ":" : "");
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    CommandLine line;
    // Its state lives in globals: optind 0 starts it afresh for this line.
    opterr = 0;
    optind = 0;
    for (;;) {
        const int answer = getopt_long(argc, argv.data(), letters.c_str(), longOptions.data(), nullptr);
        if (answer == -1)
            break;
        if (answer == '?' || answer == ':') {
            line.problem = describeProblem(answer, optopt, argv[static_cast<std::size_t>(optind - 1)], table);
            return line;
        }
        const auto found = answer >= LongBase
                               ? table.begin() + (answer - LongBase)
                               : std::find_if(table.begin(), table.end(),
                                              [answer](const CommandOption& o) { return o.letter == answer; });
        line.options.push_back({found->id, optarg != nullptr ? optarg : ""});
    }
    for (int i = optind; i < argc; ++i)
        line.operands.emplace_back(argv[static_cast<std::size_t>(i)]);
    return line;
}

} // namespace darvolt
