#pragma once
// Splits a command line into the program path and the names to open, and turns those names
// into the paths the frame opens.

#include <string>
#include <string_view>
#include <vector>

namespace tessarind {

struct ParsedCommandLine {
    std::vector<std::string> tokens; // the first is the program path
    bool stop = false;               // "-a": register the associations and end
};

class CommandLineParser {
public:
    // Tokens are separated by white space; a token that starts with a double quote runs to
    // the next one (both dropped). Options ("-x") are skipped, except "-a", which stops.
    static ParsedCommandLine Parse(std::string_view text);

    // One command line from separate arguments, quoting those that hold blanks, as a
    // process would have received it whole.
    static std::string Join(const std::vector<std::string>& arguments);

    // The paths to open for a list of names (without the program path): options skipped, a
    // Zipcode set opened once through its lowest part, relative names joined to `baseFolder`.
    static std::vector<std::string> PathsToOpen(const std::vector<std::string>& names,
                                                const std::string& baseFolder);
};

} // namespace tessarind
