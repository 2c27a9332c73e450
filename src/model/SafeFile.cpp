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

WriteResult WriteWholeFile(const std::string& target, std::span<const uint8_t> bytes,
                           int* errorNumber) {
    const std::span<const uint8_t> pieces[] = {bytes};
    return WriteWholeFile(target, std::span<const std::span<const uint8_t>>(pieces), errorNumber);
}

std::string ResolveLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::error_code ec;
        fs::path next = fs::read_symlink(current, ec);
        if (ec) break;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return current.string();
}

namespace {

WriteResult Failed(WriteResult result, int error, int* errorNumber) {
    if (errorNumber) *errorNumber = error;
    return result;
}

bool WritePieces(int fd, std::span<const std::span<const uint8_t>> pieces) {
    for (std::span<const uint8_t> piece : pieces)
        if (!WriteAll(fd, piece)) return false;
    return true;
}

// Writes over the file itself, for a file that other hard links share: it is opened without
// truncating, so until the first byte goes out the old contents stand; then written whole
// and cut to its new length.
WriteResult WriteInPlace(const std::string& path, std::span<const std::span<const uint8_t>> pieces,
                         int* errorNumber) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return Failed(WriteResult::CannotCreate, errno, errorNumber);
    off_t length = 0;
    for (std::span<const uint8_t> piece : pieces)
        length += static_cast<off_t>(piece.size());
    bool ok = WritePieces(fd, pieces) && ::ftruncate(fd, length) == 0 && ::fsync(fd) == 0;
    const int error = errno;
    ok = ::close(fd) == 0 && ok;
    return ok ? WriteResult::Ok
              : Failed(WriteResult::WriteFailed, error ? error : EIO, errorNumber);
}

} // namespace

WriteResult WriteWholeFile(const std::string& target,
                           std::span<const std::span<const uint8_t>> pieces, int* errorNumber) {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> counter{0};
    // A symbolic link stays a link: its target is the file written.
    const fs::path targetPath(ResolveLinks(target));
    struct stat old {};
    const bool exists = ::stat(targetPath.c_str(), &old) == 0;
    if (exists) {
        // The rename below would replace a file its user may not write; the user's own
        // rights decide, as they would for writing the file itself.
        if (S_ISDIR(old.st_mode)) return Failed(WriteResult::CannotCreate, EISDIR, errorNumber);
        if (::faccessat(AT_FDCWD, targetPath.c_str(), W_OK, AT_EACCESS) != 0)
            return Failed(WriteResult::CannotCreate, errno, errorNumber);
        // Replacing one of several hard links would split them.
        if (S_ISREG(old.st_mode) && old.st_nlink > 1)
            return WriteInPlace(targetPath, pieces, errorNumber);
    }
    fs::path temp = targetPath;
    temp += ".ts" + std::to_string(::getpid()) + "_" + std::to_string(counter++);

    // Plain descriptors rather than stdio: the bytes are in memory already, and a buffered
    // stream would only copy them once more.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        // A folder the user may not write, holding a file the user may: written in place.
        if (exists && S_ISREG(old.st_mode) && (error == EACCES || error == EPERM || error == EROFS))
            return WriteInPlace(targetPath, pieces, errorNumber);
        return Failed(WriteResult::CannotCreate, error, errorNumber);
    }
    if (exists) {
        // The new file takes the old one's place with its mode, and its owner and group
        // where the system lets this user give them (a failure leaves this user's own).
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)::fchmod(fd, old.st_mode & 07777);
    }
    bool ok = WritePieces(fd, pieces);
    // The flush makes sure the rename never puts an incomplete file in the previous one's
    // place; a new file replaces nothing and is not held up for it.
    if (exists) ok = ::fsync(fd) == 0 && ok;
    int error = ok ? 0 : (errno ? errno : EIO);
    ok = ::close(fd) == 0 && ok;
    std::error_code ec;
    if (ok) {
        fs::rename(temp, targetPath, ec);
        ok = !ec;
        if (ec) error = ec.value();
    }
    if (!ok) {
        fs::remove(temp, ec);
        return Failed(WriteResult::WriteFailed, error ? error : EIO, errorNumber);
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
