#include "app/consolecommand.h"

namespace darvolt {

int ReportUsage(std::string_view program, std::string_view problem, std::ostream& err)
{
    err << program << ": " << problem << "\nTry '" << program << " --help' for more information.\n" << std::flush;
    return ExitCommandUsage;
}

int FinishCommand(std::string_view program, int status, std::ostream& out, std::ostream& err)
{
    out.flush();
    err.flush();
    if (status == 0 && (out.fail() || err.fail())) {
        err.clear();
        err << program << ": " << (out.fail() ? "standard output" : "standard error") << " could not be written\n"
            << std::flush;
        return 1;
    }
    return status;
}

std::string ConsoleLine(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

} // namespace darvolt
