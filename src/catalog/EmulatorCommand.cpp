#include "catalog/EmulatorCommand.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// The quoted line and its argv grow together, so the limits are checked on the line the
// emulator would see.
class CommandBuilder {
public:
    CommandBuilder() {
        command_.commandLine = "\"";
        command_.arguments.emplace_back();
    }

    // Appends text to the current argument, or nothing when the line would pass its limit
    // (one character stays reserved for the closing quote).
    void Append(std::string_view text) {
        if (command_.commandLine.size() + text.size() + 1 > kEmulatorLineLimit) return;
        command_.commandLine += text;
        command_.arguments.back() += text;
    }

    void NextArgument() {
        if (static_cast<int>(command_.arguments.size()) >= kEmulatorArgumentLimit) return;
        // Closing quote, blank, opening quote; the closing quote of the new argument too.
        if (command_.commandLine.size() + 4 > kEmulatorLineLimit) return;
        command_.commandLine += "\" \"";
        command_.arguments.emplace_back();
    }

    EmulatorCommand Finish() {
        command_.commandLine += '"';
        return std::move(command_);
    }

    EmulatorCommand& command() { return command_; }

private:
    EmulatorCommand command_;
};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

EmulatorCommand BuildEmulatorCommand(std::string_view argumentTemplate,
                                     const EmulatorValues& values) {
    CommandBuilder builder;
    std::optional<std::string> entryFile;
    size_t at = argumentTemplate.find_first_not_of(' ');
    if (at == std::string_view::npos) {
        // Nothing to pass: no empty argument either.
        EmulatorCommand none = builder.Finish();
        none.arguments.clear();
        return none;
    }
    for (; at < argumentTemplate.size(); ++at) {
        const char c = argumentTemplate[at];
        if (c == ' ') {
            builder.NextArgument();
            continue;
        }
        const char code = at + 1 < argumentTemplate.size() ? Lower(argumentTemplate[at + 1]) : 0;
        if (c != '%' || (code != 'd' && code != 'f' && code != 'i' && code != 'p' && code != '%')) {
            builder.Append(std::string_view(&c, 1));
            continue;
        }
        ++at;
        if (code == '%') {
            builder.Append("%");
            continue;
        }
        builder.command().usesContainer = true;
        if (code == 'd') {
            builder.Append(values.diskPath);
        } else if (code == 'f') {
            builder.Append(values.entryName);
        } else if (code == 'i') {
            builder.Append(std::to_string(values.entryIndex));
        } else {
            if (!entryFile) entryFile = values.entryFile ? values.entryFile() : std::string();
            builder.Append(*entryFile);
        }
    }
    return builder.Finish();
}

std::string TemporaryFiles::MakeName(std::string_view extension) const {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string probe = (folder / "tsXXXXXX.tmp").string();
        const int fd = mkstemps(probe.data(), 4);
        if (fd < 0) return {};
        close(fd);
        std::filesystem::remove(probe, ec);
        std::string name = probe.substr(0, probe.size() - std::min<size_t>(4, probe.size()));
        name += extension;
        // The probe's name was unique, the renamed one need not be.
        const bool taken = std::find(paths_.begin(), paths_.end(), name) != paths_.end() ||
                           std::filesystem::exists(name, ec);
        if (!taken) return name;
    }
    return {};
}

void TemporaryFiles::RemoveAll() {
    std::error_code ec;
    for (const std::string& path : paths_)
        std::filesystem::remove(path, ec);
    paths_.clear();
}

std::optional<EmulatorLaunch> PrepareEmulatorRun(DiskImage& image, int index,
                                                 const EmulatorEntry& entry,
                                                 TemporaryFiles& temporaries) {
    if (entry.program.empty()) return std::nullopt;

    // An untitled container has no file of its own either: it goes over as a copy too.
    const bool copy = image.modified() || image.path().empty();
    EmulatorValues values;
    values.diskPath = copy ? temporaries.MakeName(image.DefaultExtension()) : image.path();
    values.entryIndex = index;
    std::array<uint8_t, kSlotSize> scratch{};
    const DirEntry selected = index >= 0 ? image.EntryAsListed(index, scratch) : DirEntry();
    if (selected) {
        const auto name = selected.name();
        const auto end = std::find(name.begin(), name.end(), kPad);
        values.entryName = PetsciiToAscii(std::span<const uint8_t>(name.begin(), end), false, false,
                                          false, image.settings());
        values.entryFile = [&image, &temporaries, index, selected]() -> std::string {
            const FormatRow* row = RowForExportMode(ExportMode::Native, selected);
            if (!row) return {};
            std::string path = temporaries.MakeName(row->extension);
            if (path.empty()) return {};
            // Recorded even when the export stops part-way: whatever was written goes at exit.
            temporaries.Record(path);
            image.ExportFile(index, path, false, row);
            return path;
        };
    }
    EmulatorCommand command = BuildEmulatorCommand(entry.arguments, values);

    if (command.usesContainer && copy && !values.diskPath.empty()) {
        // The copy is written without touching the container's state: it stays changed, and
        // the file of its own stays as the user last saved it.
        std::vector<uint8_t> codes;
        const std::vector<std::span<const uint8_t>> pieces = image.FileContents(codes);
        temporaries.Record(values.diskPath);
        WriteWholeFile(values.diskPath, pieces);
    }
    return EmulatorLaunch{entry.program, std::move(command.arguments)};
}

} // namespace tessarind
