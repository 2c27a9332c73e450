// tessarind-cli: the image model from the command line. Results go to stdout, messages to
// stderr; exit 0 on success, 1 when the operation failed, 2 on a usage error.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/D64Image.h"
#include "model/FormatRegistry.h"
#include "model/NameMatch.h"
#include "model/SafeFile.h"
#include "text/BasicDetokenizer.h"
#include "text/DirectoryListing.h"
#include "text/Petscii.h"

namespace tessarind::cli {
namespace {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

const char* const kUsageText =
    "usage: tessarind-cli COMMAND ...\n"
    "  list IMAGE [--format text] [-o FILE] [--deleted] [--lower]\n"
    "  info IMAGE\n"
    "  new IMAGE [--name NAME] [--id ID]\n"
    "  bam IMAGE\n"
    "  basic IMAGE FILE [--bastext]\n"
    "  type IMAGE FILE\n"
    "  extract IMAGE FILE... [-o DIR] [--mode native]\n"
    "A FILE inside an image is its CBM name (\"*\" and \"?\" match) or #N, its list index.\n";

// Messages go to stderr; nothing is ever asked on the command line.
class ConsoleInteraction : public Interaction {
public:
    void Message(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    Answer Ask(const std::string&, const std::string&, bool) override { return Answer::Cancel; }
    std::optional<long> AskNumber(const std::string&, long) override { return std::nullopt; }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest&, bool&) override { return std::nullopt; }
};

struct UsageError {
    std::string text;
};

// Positional arguments and options of one command.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> switches;

    bool Has(const std::string& name) const { return switches.count(name) != 0; }
    std::string Value(const std::string& name, const std::string& fallback = {}) const {
        auto it = values.find(name);
        return it == values.end() ? fallback : it->second;
    }
};

std::optional<Args> ParseArgs(const std::vector<std::string>& in, const std::vector<std::string>& valueOptions,
                              const std::vector<std::string>& switchOptions, std::string& error) {
    Args args;
    for (size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (a.size() > 1 && a[0] == '-' && a != "-") {
            if (std::find(valueOptions.begin(), valueOptions.end(), a) != valueOptions.end()) {
                if (i + 1 >= in.size()) {
                    error = a + " needs a value";
                    return std::nullopt;
                }
                args.values[a] = in[++i];
            } else if (std::find(switchOptions.begin(), switchOptions.end(), a) != switchOptions.end()) {
                args.switches[a] = true;
            } else {
                error = "unknown option " + a;
                return std::nullopt;
            }
        } else {
            args.positional.push_back(a);
        }
    }
    return args;
}

std::string ExtensionOf(const std::string& path) {
    std::string name = DiskImage::FileNamePart(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

// A new, empty image of the kind the path's extension names; none for other kinds.
std::unique_ptr<DiskImage> MakeImageFor(const std::string& path, Settings* settings) {
    const FormatRow* d64 = FindRowById(FormatId::D64);
    if (SameIgnoringCase(ExtensionOf(path), d64->extension)) return std::make_unique<D64Image>(settings);
    return nullptr;
}

std::unique_ptr<DiskImage> OpenImage(const std::string& path, Interaction& ui, Settings* settings) {
    std::unique_ptr<DiskImage> image = MakeImageFor(path, settings);
    if (!image) {
        ui.Message("Unknown File Extension " + path, "Error");
        return nullptr;
    }
    if (!image->Open(&ui, path, true, false)) return nullptr;
    return image;
}

// Finds the entries a FILE argument names: "#N" or a CBM name pattern typed in ASCII.
std::vector<int> FindEntries(DiskImage& image, const std::string& spec) {
    std::vector<int> found;
    if (spec.size() > 1 && spec[0] == '#') {
        char* end = nullptr;
        long n = std::strtol(spec.c_str() + 1, &end, 10);
        if (*end == 0 && n >= 0 && n < image.entryCount) found.push_back(static_cast<int>(n));
        return found;
    }
    // Names typed on the host are converted as host names are; the name exactly as typed
    // (upper case is unshifted PETSCII, as the listing shows it) is accepted as well.
    std::array<uint8_t, 16> converted = PetsciiName(spec);
    std::array<uint8_t, 16> typed;
    typed.fill(kPad);
    for (size_t i = 0; i < spec.size() && i < typed.size(); ++i) typed[i] = static_cast<uint8_t>(spec[i]);
    for (int i = 0; i < image.entryCount; ++i) {
        DirEntry e = image.EntryAt(i);
        if (e && (MatchesPattern(converted, e.name()) || MatchesPattern(typed, e.name()))) found.push_back(i);
    }
    return found;
}

std::optional<int> FindOneEntry(DiskImage& image, const std::string& spec) {
    std::vector<int> found = FindEntries(image, spec);
    if (found.empty()) {
        std::fprintf(stderr, "%s: no such file in %s\n", spec.c_str(), image.title().c_str());
        return std::nullopt;
    }
    return found.front();
}

// PETSCII text for the terminal: line ends become the host's.
std::string HostText(std::span<const uint8_t> petscii, bool keepCase) {
    std::string text = PetsciiToAscii(petscii, false, false, keepCase, Settings::Defaults());
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    return out;
}

bool WriteOutput(const std::string& target, std::span<const uint8_t> bytes) {
    if (target.empty() || target == "-") return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    return WriteWholeFile(target, bytes) == WriteResult::Ok;
}

struct Context {
    ConsoleInteraction ui;
    Settings settings;
};

int CmdList(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"list needs one IMAGE"};
    std::string format = a.Value("--format", "text");
    if (format != "text") throw UsageError{"list --format " + format + " is not available yet"};
    if (a.Has("--deleted")) ctx.settings.Set(SettingId::ShowDEL, 1);
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    std::vector<uint8_t> text = ListDirectory(*image, ListingForm::Ascii, a.Has("--lower"));
    if (!WriteOutput(a.Value("-o"), text)) {
        ctx.ui.Message("Unable to Save File", "Error");
        return kFailed;
    }
    return kOk;
}

int CmdInfo(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"info needs one IMAGE"};
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    const FormatRow* row = FindRowById(image->formatId);
    const uint8_t* header = image->DiskNamePointer();
    std::string name = header ? HostText(std::span<const uint8_t>(header, 16), true) : std::string();
    std::string id = header ? HostText(std::span<const uint8_t>(header + 18, 5), true) : std::string();
    std::printf("Format: %s\n", row ? std::string(row->displayName).c_str() : "?");
    std::printf("Tracks: %d\n", image->trackCount);
    std::printf("Sector errors: %s\n", (image->flags & kFlagErrorCodes) ? "yes" : "no");
    std::printf("Disk name: %s\n", name.c_str());
    std::printf("Disk ID: %s\n", id.c_str());
    std::printf("Entries: %d\n", image->entryCount);
    std::printf("Blocks free: %d\n", image->FreeBlockCount());
    return kOk;
}

int CmdNew(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"new needs one IMAGE"};
    const std::string& path = a.positional[0];
    std::unique_ptr<DiskImage> image = MakeImageFor(path, &ctx.settings);
    if (!image) {
        ctx.ui.Message("Unknown File Extension " + path, "Error");
        return kFailed;
    }
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        std::fprintf(stderr, "%s already exists\n", path.c_str());
        return kFailed;
    }
    image->Open(&ctx.ui, path, false, true);
    std::array<uint8_t, 16> name = PetsciiName(a.Value("--name"));
    std::copy(name.begin(), name.end(), image->DiskNamePointer());
    std::string id = a.Value("--id");
    if (id.size() > 5) throw UsageError{"--id takes two characters, or five as \"AB 2A\""};
    if (!id.empty()) {
        std::array<uint8_t, 5> bytes;
        std::copy_n(image->DiskNamePointer() + 18, 5, bytes.begin());
        std::vector<uint8_t> typed(id.begin(), id.end());
        AsciiToPetsciiName(typed, false);
        for (size_t i = 0; i < typed.size(); ++i) bytes[i] = typed[i] == ' ' ? kPad : typed[i];
        image->SetDiskId(bytes);
    }
    return image->WriteFile(path) ? kOk : kFailed;
}

int CmdBam(Context& ctx, const Args& a) {
    if (a.positional.size() != 1) throw UsageError{"bam needs one IMAGE"};
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    // One row per track: free count by the map, then a mark per sector ("." free, "*" used).
    for (int t = 1; t <= image->trackCount; ++t) {
        std::string marks;
        int free = 0;
        for (int s = 0; s < image->maxSectors && image->SectorPointer(t, s); ++s) {
            bool isFree = image->IsBlockFree(t, s);
            free += isFree;
            marks.push_back(isFree ? '.' : '*');
        }
        std::printf("%2d %2d %s\n", t, free, marks.c_str());
    }
    std::printf("%d BLOCKS FREE.\n", image->FreeBlockCount());
    return kOk;
}

int CmdBasic(Context& ctx, const Args& a) {
    if (a.positional.size() != 2) throw UsageError{"basic needs IMAGE and FILE"};
    if (a.Has("--bastext")) ctx.settings.Set(SettingId::UseBasText, 1);
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    std::optional<int> index = FindOneEntry(*image, a.positional[1]);
    if (!index) return kFailed;
    std::optional<std::vector<uint8_t>> listing = Detokenize(*image, *index);
    if (!listing) {
        ctx.ui.Message("Unable to View File", "Error");
        return kFailed;
    }
    std::string text = HostText(*listing, true);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

int CmdType(Context& ctx, const Args& a) {
    if (a.positional.size() != 2) throw UsageError{"type needs IMAGE and FILE"};
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    std::optional<int> index = FindOneEntry(*image, a.positional[1]);
    if (!index) return kFailed;
    std::optional<std::vector<uint8_t>> data = image->ReadFileData(*index);
    if (!data) {
        ctx.ui.Message("Unable to View File", "Error");
        return kFailed;
    }
    std::string text = HostText(*data, false);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return kOk;
}

// The host name of an entry: its name converted, unsafe characters and trailing blanks
// removed, and the extension of its file type.
std::string ExportName(DiskImage& image, DirEntry entry) {
    std::string name = HostFileName(entry.name(), 256, image.settings());
    while (!name.empty() && name.back() == ' ') name.pop_back();
    const FormatRow* row = FindRowByCbmType(entry.typeCode());
    return name + (row ? std::string(row->extension) : std::string());
}

int CmdExtract(Context& ctx, const Args& a) {
    if (a.positional.size() < 2) throw UsageError{"extract needs IMAGE and at least one FILE"};
    std::string mode = a.Value("--mode", "native");
    if (mode != "native") throw UsageError{"extract --mode " + mode + " is not available yet"};
    auto image = OpenImage(a.positional[0], ctx.ui, &ctx.settings);
    if (!image) return kFailed;
    std::filesystem::path folder = a.Value("-o", ".");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    int status = kOk;
    for (size_t i = 1; i < a.positional.size(); ++i) {
        std::vector<int> indexes = FindEntries(*image, a.positional[i]);
        if (indexes.empty()) {
            std::fprintf(stderr, "%s: no such file in %s\n", a.positional[i].c_str(), image->title().c_str());
            status = kFailed;
        }
        for (int index : indexes) {
            std::optional<std::vector<uint8_t>> data = image->ReadFileData(index);
            if (!data) {
                ctx.ui.Message("Unable to Create File to Export", "Error");
                status = kFailed;
                continue;
            }
            std::filesystem::path target = folder / ExportName(*image, image->EntryAt(index));
            if (WriteWholeFile(target.string(), *data) != WriteResult::Ok) {
                ctx.ui.Message("Unable to Create File", "Error");
                status = kFailed;
                continue;
            }
            std::printf("%s\n", target.string().c_str());
        }
    }
    return status;
}

struct Command {
    std::function<int(Context&, const Args&)> run;
    std::vector<std::string> valueOptions;
    std::vector<std::string> switchOptions;
};

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"list", {CmdList, {"--format", "-o"}, {"--deleted", "--lower"}}},
        {"info", {CmdInfo, {}, {}}},
        {"new", {CmdNew, {"--name", "--id"}, {}}},
        {"bam", {CmdBam, {}, {}}},
        {"basic", {CmdBasic, {}, {"--bastext"}}},
        {"type", {CmdType, {}, {}}},
        {"extract", {CmdExtract, {"-o", "--mode"}, {}}},
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
    std::optional<Args> args = ParseArgs(rest, it->second.valueOptions, it->second.switchOptions, error);
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

int main(int argc, char** argv) { return tessarind::cli::Main(argc, argv); }
