#pragma once
// What every command of tessarind-cli shares: arguments, the console stand-in for dialogs,
// opening images and naming the files inside them.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "catalog/FormatCatalog.h"
#include "model/DiskImage.h"
#include "text/Settings.h"

namespace tessarind::cli {

constexpr int kOk = 0, kFailed = 1, kUsage = 2;

// Messages go to stderr and nothing is ever asked: questions are cancelled, a number prompt
// takes the value it offers, a choice is left unmade (the caller then names every item), and
// a save dialog takes the name it proposes.
class ConsoleInteraction : public Interaction {
public:
    void Message(const std::string& text, const std::string& caption) override;
    Answer Ask(const std::string&, const std::string&, bool) override { return Answer::Cancel; }
    std::optional<long> AskNumber(const std::string&, long offered) override { return offered; }
    std::optional<size_t> Choose(const std::string&, const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest& request, bool&) override;

    int shown = 0; // messages written so far
};

// Thrown inside the tool only, for a command line that does not fit the command; it ends
// in the usage text and exit code 2.
struct UsageError {
    std::string text;
};

// Positional arguments and options of one command.
struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> switches;

    bool Has(const std::string& name) const { return switches.count(name) != 0; }
    bool HasValue(const std::string& name) const { return values.count(name) != 0; }
    std::string Value(const std::string& name, const std::string& fallback = {}) const {
        auto it = values.find(name);
        return it == values.end() ? fallback : it->second;
    }
};

std::optional<Args> ParseArgs(const std::vector<std::string>& in,
                              const std::vector<std::string>& valueOptions,
                              const std::vector<std::string>& switchOptions, std::string& error);

struct Context {
    ConsoleInteraction ui;
    Settings settings;
};

// The catalog row of the image kind the path's extension names; none for other kinds.
const CatalogRow* ImageKindFor(const std::string& path);

// Opens anything the opener accepts; none after the reason was shown.
std::unique_ptr<DiskImage> OpenImage(Context& ctx, const std::string& path);

// Opens an image, runs `change` on it and writes it back over its file when it changed.
// Nothing is written when `change` fails, so a command never leaves half its work behind.
// An image made from a single host file is refused: writing it back would replace that
// file with a disk image.
int ChangeImage(Context& ctx, const std::string& path,
                const std::function<int(DiskImage&)>& change);

// The entries a FILE argument names: "#N" or a CBM name pattern typed in ASCII.
std::vector<int> FindEntries(DiskImage& image, const std::string& typed);
// The first entry a FILE argument names; none after a message.
std::optional<int> FindOneEntry(DiskImage& image, const std::string& typed);
// The one entry a FILE argument names; none after a message when it names none or several,
// so an edit never lands on a file the user did not mean.
std::optional<int> FindSingleEntry(DiskImage& image, const std::string& typed);

// A CBM name typed on the command line: at most 16 characters, else a usage error.
std::array<uint8_t, kNameLength> CbmName(const std::string& typed);
// A file type word (del, seq, prg, usr, rel) as its type code; a usage error otherwise.
int TypeCode(const std::string& word);

// PETSCII text for the terminal: line ends become the host's.
std::string HostText(std::span<const uint8_t> petscii, bool keepCase);
// A CBM name for the terminal, without its padding.
std::string NameText(std::span<const uint8_t> name);

} // namespace tessarind::cli
