// tessarind-cli: the image model from the command line. Results go to stdout, messages to
// stderr; exit 0 on success, 1 when the operation failed, 2 on a usage error.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace tessarind::cli {
namespace {

#ifndef TESSARIND_VERSION
#define TESSARIND_VERSION "unknown"
#endif

// Each command's usage, in the order the overview lists them; commands that take the same
// arguments share a line.
struct UsageLine {
    std::vector<std::string> commands;
    const char* text;
};

const std::vector<UsageLine>& UsageLines() {
    static const std::vector<UsageLine> lines = {
        {{"list"},
         "list IMAGE [--format text|csv|bmp] [-o FILE] [--subdirs] [--deleted] [--md5] [--lower]"},
        {{"info"}, "info IMAGE"},
        {{"new"}, "new IMAGE [--name NAME] [--id ID]"},
        {{"insert"},
         "insert IMAGE FILE... [--at N] [--name NAME] [--type del|seq|prg|usr|rel]\n"
         "              [--record-length N]"},
        {{"extract"}, "extract IMAGE [FILE...] [-o DIR] [--mode native|pc64|text] [--force]"},
        {{"remove"}, "remove IMAGE FILE..."},
        {{"rename"}, "rename IMAGE FILE NEWNAME"},
        {{"lock", "unlock", "splat", "unsplat"}, "lock|unlock|splat|unsplat IMAGE FILE"},
        {{"retype"}, "retype IMAGE FILE del|seq|prg|usr|rel [--record-length N]"},
        {{"validate", "compact", "crosslinks", "fill"}, "validate|compact|crosslinks|fill IMAGE"},
        {{"sort"}, "sort IMAGE [--by name|size] [--descending]"},
        {{"bam"}, "bam IMAGE"},
        {{"basic"}, "basic IMAGE FILE [--bastext]"},
        {{"type"}, "type (IMAGE FILE | TEXTFILE) [--width 40|80] [--codes] [--lower]"},
        {{"convert"}, "convert INPUT OUTPUT"},
        {{"find"}, "find FOLDER... PATTERN [--no-subfolders] [-j N]"},
        {{"batch"},
         "batch FOLDER... (--list text|csv|bmp [--single-file] | --extract native|pc64|text "
         "[--force])\n"
         "              [--no-subfolders] [--subdirs] [--deleted] [--lower] [-j N]"},
    };
    return lines;
}

const char* const kUsageNotes =
    "IMAGE may also be a single CBM file (.prg, .p00, ...): it reads as a disk holding it.\n"
    "A FILE inside an image is its CBM name as the listing shows it or as extract names it\n"
    "(\"*\" and \"?\" match), or #N, its list index counted from 0.\n"
    "Exit code 0 on success, 1 when the operation failed, 2 on a usage error.\n"
    "tessarind-cli COMMAND --help shows one command's usage, --version the version.\n";

// Usage lines as the README shows them: each command line indented by four blanks, its
// continuation aligned under the command.
std::string UsageText(const UsageLine& line) {
    std::string text = "    tessarind-cli ";
    for (const char* c = line.text; *c; ++c) {
        text.push_back(*c);
        if (*c == '\n') text += "    ";
    }
    return text + "\n";
}

std::string Overview() {
    std::string text = "Usage:\n";
    for (const UsageLine& line : UsageLines())
        text += UsageText(line);
    return text + "\n" + kUsageNotes;
}

std::string UsageOf(const std::string& command) {
    for (const UsageLine& line : UsageLines())
        for (const std::string& c : line.commands)
            if (c == command) return "Usage:\n" + UsageText(line);
    return Overview();
}

struct Command {
    int (*run)(Context&, const Args&);
    std::vector<std::string> valueOptions;
    std::vector<std::string> switchOptions;
};

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"list", {CmdList, {"--format", "-o"}, {"--subdirs", "--deleted", "--md5", "--lower"}}},
        {"info", {CmdInfo, {}, {}}},
        {"new", {CmdNew, {"--name", "--id"}, {}}},
        {"insert", {CmdInsert, {"--at", "--name", "--type", "--record-length"}, {}}},
        {"extract", {CmdExtract, {"-o", "--mode"}, {"--force"}}},
        {"remove", {CmdRemove, {}, {}}},
        {"rename", {CmdRename, {}, {}}},
        {"lock", {CmdLock, {}, {}}},
        {"unlock", {CmdUnlock, {}, {}}},
        {"splat", {CmdSplat, {}, {}}},
        {"unsplat", {CmdUnsplat, {}, {}}},
        {"retype", {CmdRetype, {"--record-length"}, {}}},
        {"validate", {CmdValidate, {}, {}}},
        {"compact", {CmdCompact, {}, {}}},
        {"sort", {CmdSort, {"--by"}, {"--descending"}}},
        {"crosslinks", {CmdCrossLinks, {}, {}}},
        {"fill", {CmdFill, {}, {}}},
        {"bam", {CmdBam, {}, {}}},
        {"basic", {CmdBasic, {}, {"--bastext"}}},
        {"type", {CmdType, {"--width"}, {"--codes", "--lower"}}},
        {"convert", {CmdConvert, {}, {}}},
        {"find", {CmdFind, {"-j"}, {"--no-subfolders"}}},
        {"batch",
         {CmdBatch,
          {"--list", "--extract", "-j"},
          {"--single-file", "--no-subfolders", "--subdirs", "--deleted", "--lower", "--force"}}},
    };
    return commands;
}

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h";
}

} // namespace

int Main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(Overview().c_str(), stderr);
        return kUsage;
    }
    if (IsHelp(args[0])) {
        std::fputs(Overview().c_str(), stdout);
        return kOk;
    }
    if (args[0] == "--version") {
        std::printf("tessarind-cli %s\n", TESSARIND_VERSION);
        return kOk;
    }
    const std::string& name = args[0];
    auto it = Commands().find(name);
    if (it == Commands().end()) {
        std::fprintf(stderr, "unknown command %s; tessarind-cli --help lists the commands\n",
                     name.c_str());
        return kUsage;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (std::any_of(rest.begin(), rest.end(), IsHelp)) {
        std::fputs(UsageOf(name).c_str(), stdout);
        return kOk;
    }
    std::string error;
    std::optional<Args> parsed =
        ParseArgs(rest, it->second.valueOptions, it->second.switchOptions, error);
    if (!parsed) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), UsageOf(name).c_str());
        return kUsage;
    }
    Context ctx;
    try {
        return it->second.run(ctx, *parsed);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s\n%s", e.text.c_str(), UsageOf(name).c_str());
        return kUsage;
    }
}

} // namespace tessarind::cli

int main(int argc, char** argv) {
    return tessarind::cli::Main(argc, argv);
}
