#include "support/Process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <system_error>

namespace tessarind::testing {

std::string ShellQuote(std::string_view argument) {
    std::string quoted = "'";
    for (char c : argument) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted.push_back(c);
    }
    quoted.push_back('\'');
    return quoted;
}

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::filesystem::path& workingDirectory) {
    ProcessResult result;
    if (argv.empty()) return result;
    std::string command;
    if (!workingDirectory.empty())
        command.append("cd ").append(ShellQuote(workingDirectory.string())).append(" && ");
    command += "exec";
    for (const std::string& argument : argv)
        command.append(" ").append(ShellQuote(argument));
    std::fflush(nullptr);
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk;
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    if (status == -1)
        result.exitCode = -1;
    else if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exitCode = 128 + WTERMSIG(status);
    return result;
}

TempDir::TempDir(std::string_view prefix) {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate =
            base / (std::string(prefix) + "-" + std::to_string(::getpid()) + "-" +
                    std::to_string(entropy()));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory under " + base.string());
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string AsUnprivilegedUser() {
    return ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
}

} // namespace tessarind::testing
