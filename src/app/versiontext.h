#pragma once
// What --version prints, as GNU tools print it: the program, the package
// and its version, then the licence. DARVOLT_VERSION comes from the build.

#include <string>
#include <string_view>

namespace darvolt {

inline std::string VersionText(std::string_view program)
{
    return std::string(program) + " (Darvolt) " DARVOLT_VERSION "\n"
           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

} // namespace darvolt
