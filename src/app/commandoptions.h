#pragma once
// darvolt-split's and darvolt-join's command lines, read as GNU tools read
// theirs: by getopt_long. Options and operands may come in any order,
// short options cluster (-qs) and take their value attached or as the next
// argument (-b10M, -b 10M), long ones take it after "=" or as the next
// argument, a long option may be shortened to any prefix that names only
// it, and "--" ends the options. POSIXLY_CORRECT in the environment ends
// them at the first operand instead, as it does for every GNU tool.
//
// Nothing is printed here: a command line that getopt_long refuses answers
// its problem in getopt's own words ("unrecognized option '--fast'",
// "option '--s' is ambiguous; possibilities: '--span' '--standard'"), for
// the program to print with its name and the hint to --help.

#include <span>
#include <string>
#include <vector>

namespace darvolt {

struct CommandOption {
    const char* name = nullptr; // the long name, without "--"
    char letter = 0;            // the short name; 0 for none
    bool takesValue = false;
    int id = 0;                 // what GivenOption::id answers for it
};

struct GivenOption {
    int id = 0;
    std::string value; // empty for an option without a value
};

struct CommandLine {
    std::vector<GivenOption> options; // in the order they were given
    std::vector<std::string> operands;
    std::string problem; // empty when the command line could be read
};

// args: the arguments after the program name.
CommandLine ReadCommandLine(const std::vector<std::string>& args, std::span<const CommandOption> table);

} // namespace darvolt
