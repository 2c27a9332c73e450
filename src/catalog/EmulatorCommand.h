#pragma once
// Handing a container to an outside emulator: the argument template of a Run In entry turned
// into a command line, and the temporary files made for it, which live until the program ends.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/Settings.h"

namespace tessarind {

class DiskImage;

inline constexpr size_t kEmulatorLineLimit = 1023;
inline constexpr int kEmulatorArgumentLimit = 99;

// What the placeholders stand for. %p is made only when the template asks for it, and then
// once however often it appears.
struct EmulatorValues {
    std::string diskPath;                   // %d
    std::string entryName;                  // %f
    int entryIndex = 0;                     // %i
    std::function<std::string()> entryFile; // %p
};

struct EmulatorCommand {
    // The line as a Windows program receives it: every argument in double quotes, one blank
    // between them.
    std::string commandLine;
    // The same arguments without their quotes, one argv element each, so a path with blanks
    // reaches the emulator whole.
    std::vector<std::string> arguments;
    // A placeholder other than %% was replaced: the container has to exist on disk.
    bool usesContainer = false;
};

// Scans the template once: a blank starts the next argument (blanks at the very start are
// skipped), %d %f %i %p %% (either case) are replaced, every other character is copied. What
// would take the line past 1023 characters or a blank past 99 arguments is left out.
EmulatorCommand BuildEmulatorCommand(std::string_view argumentTemplate,
                                     const EmulatorValues& values);

// Files made for emulator runs: named "ts…" in the system's temporary folder, recorded, and
// removed when this list ends (at the end of the program), never earlier.
class TemporaryFiles {
public:
    TemporaryFiles() = default;
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;
    ~TemporaryFiles() { RemoveAll(); }

    // A fresh name with the prefix "ts" whose last four characters are `extension`; the
    // probe file is removed at once. Empty when no name could be made.
    std::string MakeName(std::string_view extension) const;
    void Record(const std::string& path) { paths_.push_back(path); }
    const std::vector<std::string>& paths() const { return paths_; }
    void RemoveAll();

private:
    std::vector<std::string> paths_;
};

struct EmulatorLaunch {
    std::string program;
    std::vector<std::string> arguments;
};

// Prepares the run of one entry with the image's selected entry `index`: a changed (or
// untitled) container goes over as a temporary copy and stays marked changed; %p exports the
// selected file. Nothing when the entry has no program.
std::optional<EmulatorLaunch> PrepareEmulatorRun(DiskImage& image, int index,
                                                 const EmulatorEntry& entry,
                                                 TemporaryFiles& temporaries);

} // namespace tessarind
