#pragma once
// Runs other programs from the tests: the command-line tool and the peer tools whose images
// and files ours must agree with. Standard output is captured; standard error goes where
// ours goes, so a failing tool explains itself in the test log.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessarind::testing {

struct ProcessResult {
    int exitCode = -1; // the program's exit status; 128 + n when signal n ended it
    std::string output;
};

// One argument for the POSIX shell, single-quoted.
std::string ShellQuote(std::string_view argument);

// Runs argv[0] (looked up on PATH) with the other arguments, inside workingDirectory when
// one is given. A program that cannot be found exits with 127, as the shell reports it.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::filesystem::path& workingDirectory = {});

// The words that run a shell command as an unprivileged user: root may read and write any
// file, so tests of refused access run the tool through this (empty when not root).
std::string AsUnprivilegedUser();

// A fresh directory under the system's temporary directory, removed with its contents.
class TempDir {
public:
    explicit TempDir(std::string_view prefix = "tessarind");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

} // namespace tessarind::testing
