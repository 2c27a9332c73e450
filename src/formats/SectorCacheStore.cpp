#include "formats/SectorCacheStore.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessarind {

SectorCacheStore::~SectorCacheStore() {
    if (fd_ >= 0) ::close(fd_);
}

bool SectorCacheStore::OpenFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    path_ = path;
    size_ = static_cast<size_t>(info.st_size);
    cache_.clear();
    offsets_.clear();
    return true;
}

bool SectorCacheStore::Reopen() {
    if (fd_ >= 0) return true;
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    return fd_ >= 0;
}

uint8_t* SectorCacheStore::At(size_t offset, size_t length) {
    if (offset > size_ || length > size_ - offset) return nullptr;
    const size_t start = offset - offset % kSectorBytes;
    if (offset - start + length > kSectorBytes) return nullptr;
    if (auto found = cache_.find(start); found != cache_.end())
        return found->second->bytes.data() + (offset - start);
    if (start + kSectorBytes > size_ || !Reopen()) return nullptr;
    auto sector = std::make_unique<Sector>();
    size_t got = 0;
    while (got < kSectorBytes) {
        const ssize_t n = ::pread(fd_, sector->bytes.data() + got, kSectorBytes - got,
                                  static_cast<off_t>(start + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return nullptr; // an unreadable sector is absent
        got += static_cast<size_t>(n);
    }
    bytesRead_ += got;
    sector->asRead = sector->bytes;
    uint8_t* bytes = sector->bytes.data();
    offsets_.emplace(bytes, start);
    cache_.emplace(start, std::move(sector));
    return bytes + (offset - start);
}

bool SectorCacheStore::OffsetOf(const uint8_t* p, size_t& offset) const {
    auto after = offsets_.upper_bound(p);
    if (after == offsets_.begin()) return false;
    auto holder = std::prev(after);
    if (p >= holder->first + kSectorBytes) return false;
    offset = holder->second + static_cast<size_t>(p - holder->first);
    return true;
}

size_t SectorCacheStore::ChangedSectors() const {
    size_t changed = 0;
    for (const auto& [offset, sector] : cache_)
        changed += sector->bytes != sector->asRead;
    return changed;
}

bool SectorCacheStore::WriteBack(int* errorNumber) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errorNumber) *errorNumber = errno;
        return false;
    }
    bool ok = true;
    for (auto& [offset, sector] : cache_) {
        if (sector->bytes == sector->asRead) continue;
        if (::pwrite(fd, sector->bytes.data(), kSectorBytes, static_cast<off_t>(offset)) !=
            static_cast<ssize_t>(kSectorBytes)) {
            if (errorNumber) *errorNumber = errno;
            ok = false;
            break;
        }
        sector->asRead = sector->bytes;
    }
    if (ok && ::fsync(fd) != 0) {
        if (errorNumber) *errorNumber = errno;
        ok = false;
    }
    ::close(fd);
    return ok;
}

bool SectorCacheStore::CopyTo(const std::string& target, int* errorNumber) {
    if (!Reopen()) {
        if (errorNumber) *errorNumber = errno;
        return false;
    }
    const std::string temporary = target + ".ts-partial";
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        if (errorNumber) *errorNumber = errno;
        return false;
    }
    // Runs of sectors are copied in large pieces; the ones held here come from memory.
    std::vector<uint8_t> piece(64 * kSectorBytes);
    bool ok = true;
    for (size_t at = 0; ok && at < size_; at += piece.size()) {
        const size_t n = std::min(piece.size(), size_ - at);
        size_t got = 0;
        while (got < n) {
            const ssize_t r =
                ::pread(fd_, piece.data() + got, n - got, static_cast<off_t>(at + got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        if (got < n) {
            ok = false; // a copy with holes would lose data silently
            break;
        }
        for (size_t s = 0; s < n; s += kSectorBytes)
            if (auto held = cache_.find(at + s); held != cache_.end())
                std::memcpy(piece.data() + s, held->second->bytes.data(),
                            std::min(kSectorBytes, n - s));
        size_t put = 0;
        while (ok && put < n) {
            const ssize_t w = ::write(out, piece.data() + put, n - put);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                ok = false;
            else
                put += static_cast<size_t>(w);
        }
    }
    if (ok && ::fsync(out) != 0) ok = false;
    if (!ok && errorNumber) *errorNumber = errno;
    ::close(out);
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        if (errorNumber) *errorNumber = errno;
        ok = false;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        return false;
    }
    // The copy holds every change: it is the file from here on.
    ::close(fd_);
    fd_ = -1;
    path_ = target;
    for (auto& [offset, sector] : cache_)
        sector->asRead = sector->bytes;
    return Reopen();
}

} // namespace tessarind
