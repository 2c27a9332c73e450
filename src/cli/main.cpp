// tessarind-cli: the image model from the command line. Results go to stdout, messages to
// stderr; exit 0 on success, 1 when the operation failed, 2 on a usage error.

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace tessarind::cli {
namespace {

const char* const kUsageText =
    "usage: tessarind-cli COMMAND ...\n"
    "  list IMAGE [--format text|csv|bmp] [-o FILE] [--subdirs] [--deleted] [--md5] [--lower]\n"
    "  info IMAGE\n"
    "  new IMAGE [--name NAME] [--id ID]\n"
    "  insert IMAGE FILE... [--at N] [--name NAME] [--type del|seq|prg|usr|rel]\n"
    "  extract IMAGE [FILE...] [-o DIR] [--mode native|pc64|text]\n"
    "  remove IMAGE FILE...\n"
    "  rename IMAGE FILE NEWNAME\n"
    "  lock|unlock|splat|unsplat IMAGE FILE\n"
    "  retype IMAGE FILE del|seq|prg|usr|rel\n"
    "  validate|compact|crosslinks|fill IMAGE\n"
    "  sort IMAGE [--by name|size] [--descending]\n"
    "  bam IMAGE\n"
    "  basic IMAGE FILE [--bastext]\n"
    "  type IMAGE FILE\n"
    "  convert INPUT OUTPUT\n"
    "  find FOLDER PATTERN [--no-subfolders]\n"
    "  batch FOLDER (--list text|csv|bmp [--single-file] | --extract native|pc64|text)\n"
    "        [--no-subfolders] [--subdirs] [--deleted] [--lower]\n"
    "IMAGE may also be a single CBM file (.prg, .p00, ...): it reads as a disk holding it.\n"
    "A FILE inside an image is its CBM name (\"*\" and \"?\" match) or #N, its list index.\n";

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
        {"insert", {CmdInsert, {"--at", "--name", "--type"}, {}}},
        {"extract", {CmdExtract, {"-o", "--mode"}, {}}},
        {"remove", {CmdRemove, {}, {}}},
        {"rename", {CmdRename, {}, {}}},
        {"lock", {CmdLock, {}, {}}},
        {"unlock", {CmdUnlock, {}, {}}},
        {"splat", {CmdSplat, {}, {}}},
        {"unsplat", {CmdUnsplat, {}, {}}},
        {"retype", {CmdRetype, {}, {}}},
        {"validate", {CmdValidate, {}, {}}},
        {"compact", {CmdCompact, {}, {}}},
        {"sort", {CmdSort, {"--by"}, {"--descending"}}},
        {"crosslinks", {CmdCrossLinks, {}, {}}},
        {"fill", {CmdFill, {}, {}}},
        {"bam", {CmdBam, {}, {}}},
        {"basic", {CmdBasic, {}, {"--bastext"}}},
        {"type", {CmdType, {}, {}}},
        {"convert", {CmdConvert, {}, {}}},
        {"find", {CmdFind, {}, {"--no-subfolders"}}},
        {"batch",
         {CmdBatch,
          {"--list", "--extract"},
          {"--single-file", "--no-subfolders", "--subdirs", "--deleted", "--lower"}}},
    };
    return commands;
}

} // namespace

int Main(int argc, char** argv) {
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(kUsageText, argc < 2 ? stderr : stdout);
        return argc < 2 ? kUsage : kOk;
    }
    auto it = Commands().find(argv[1]);
    if (it == Commands().end()) {
        std::fprintf(stderr, "unknown command %s\n%s", argv[1], kUsageText);
        return kUsage;
    }
    std::vector<std::string> rest(argv + 2, argv + argc);
    std::string error;
    std::optional<Args> args =
        ParseArgs(rest, it->second.valueOptions, it->second.switchOptions, error);
    if (!args) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), kUsageText);
        return kUsage;
    }
    Context ctx;
    try {
        return it->second.run(ctx, *args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s\n%s", e.text.c_str(), kUsageText);
        return kUsage;
    }
}

} // namespace tessarind::cli

int main(int argc, char** argv) {
    return tessarind::cli::Main(argc, argv);
}
