#include "ui/CommandLineParser.h"

#include <algorithm>
#include <cctype>

namespace tessarind {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// "1!NAME" to "5!NAME": the part number, or 0 when the file-name part is not a Zipcode part.
int ZipcodePart(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string_view name(path);
    if (slash != std::string::npos) name.remove_prefix(slash + 1);
    if (name.size() < 2 || name[0] < '1' || name[0] > '5' || name[1] != '!') return 0;
    return name[0] - '0';
}

// The set name after the "!" of a Zipcode part.
std::string ZipcodeSetName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string set = name.substr(2);
    std::transform(set.begin(), set.end(), set.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return set;
}

bool IsAbsolute(const std::string& path) {
    if (path.find('\\') != std::string::npos) return true; // a Windows path is taken as it is
    if (!path.empty() && path[0] == '/') return true;
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

} // namespace

ParsedCommandLine CommandLineParser::Parse(std::string_view text) {
    ParsedCommandLine parsed;
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '-') {
            if (i + 1 < text.size() && text[i + 1] == 'a') {
                parsed.stop = true;
                return parsed;
            }
            while (i < text.size() && text[i] != ' ')
                ++i;
            continue;
        }
        std::string token;
        if (text[i] == '"') {
            size_t close = text.find('"', i + 1);
            size_t end = close == std::string_view::npos ? text.size() : close;
            token.assign(text.substr(i + 1, end - i - 1));
            i = close == std::string_view::npos ? text.size() : close + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !IsBlank(text[end]))
                ++end;
            token.assign(text.substr(i, end - i));
            i = end;
        }
        parsed.tokens.push_back(std::move(token));
    }
    return parsed;
}

std::string CommandLineParser::Join(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        bool quote = argument.empty() || std::any_of(argument.begin(), argument.end(),
                                                     [](char c) { return IsBlank(c); });
        if (quote)
            line += '"' + argument + '"';
        else
            line += argument;
    }
    return line;
}

std::vector<std::string> CommandLineParser::PathsToOpen(const std::vector<std::string>& names,
                                                        const std::string& baseFolder) {
    std::string base = baseFolder;
    if (!base.empty() && base.back() != '/' && base.back() != '\\') base += '/';
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        if (name.empty() || name[0] == '-') continue;
        // The opener reads a whole Zipcode set from any part; open it once, through the
        // lowest part named.
        if (int part = ZipcodePart(name); part > 1) {
            std::string set = ZipcodeSetName(name);
            bool lowerNamed =
                std::any_of(names.begin(), names.end(), [&](const std::string& other) {
                    int otherPart = ZipcodePart(other);
                    return otherPart != 0 && otherPart < part && ZipcodeSetName(other) == set;
                });
            if (lowerNamed) continue;
        }
        paths.push_back(IsAbsolute(name) ? name : base + name);
    }
    return paths;
}

} // namespace tessarind
