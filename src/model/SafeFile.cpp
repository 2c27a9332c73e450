#include "model/SafeFile.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessarind {

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

WriteResult WriteWholeFile(const std::string& target, std::span<const uint8_t> bytes) {
    const std::span<const uint8_t> pieces[] = {bytes};
    return WriteWholeFile(target, std::span<const std::span<const uint8_t>>(pieces));
}

WriteResult WriteWholeFile(const std::string& target,
                           std::span<const std::span<const uint8_t>> pieces) {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> counter{0};
    fs::path targetPath(target);
    fs::path temp = targetPath;
    temp += ".ts" + std::to_string(::getpid()) + "_" + std::to_string(counter++);

    // Plain descriptors rather than stdio: the bytes are in memory already, and a buffered
    // stream would only copy them once more.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return WriteResult::CannotCreate;
    bool ok = true;
    for (std::span<const uint8_t> piece : pieces)
        ok = ok && WriteAll(fd, piece);
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    std::error_code ec;
    if (ok) {
        fs::rename(temp, targetPath, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Ok;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, bool& openFailed) {
    openFailed = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openFailed = true;
        return false;
    }
    // The size from the descriptor, then one read; a file that is not a regular file (a
    // folder, a device) has no size to read.
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0;
    if (ok) {
        out.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (ok && done < out.size()) {
            const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR) continue;
            ok = n > 0; // a file that shrank while being read is a read error
            if (ok) done += static_cast<size_t>(n);
        }
    }
    ::close(fd);
    return ok;
}

} // namespace tessarind
