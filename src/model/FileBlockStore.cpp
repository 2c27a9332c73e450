#include "model/FileBlockStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tessarind {

namespace {

constexpr size_t kPage = 4096;

} // namespace

std::unique_ptr<FileBlockStore> FileBlockStore::Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileBlockStore>(
        new FileBlockStore(fd, static_cast<size_t>(info.st_size)));
}

FileBlockStore::FileBlockStore(int fd, size_t size)
    : fd_(fd), bytes_(size), loaded_((size + kPage - 1) / kPage, false) {
    if (size == 0) Release();
}

FileBlockStore::~FileBlockStore() {
    Release();
}

void FileBlockStore::Release() const {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool FileBlockStore::Load(size_t offset, size_t length) const {
    if (fd_ < 0) return !failed_;
    if (length == 0) return true;
    const size_t first = offset / kPage;
    const size_t last = (offset + length - 1) / kPage;
    for (size_t page = first; page <= last && page < loaded_.size(); ++page) {
        if (loaded_[page]) continue;
        // Neighbouring pages not yet read are read together.
        size_t end = page + 1;
        while (end <= last && end < loaded_.size() && !loaded_[end])
            ++end;
        const size_t from = page * kPage;
        const size_t to = std::min(end * kPage, bytes_.size());
        size_t done = 0;
        while (from + done < to) {
            const ssize_t n = ::pread(fd_, bytes_.data() + from + done, to - from - done,
                                      static_cast<off_t>(from + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) { // the file shrank or cannot be read
                failed_ = true;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        bytesRead_.fetch_add(done, std::memory_order_relaxed);
        std::fill(loaded_.begin() + static_cast<ptrdiff_t>(page),
                  loaded_.begin() + static_cast<ptrdiff_t>(end), true);
        page = end - 1;
    }
    return true;
}

bool FileBlockStore::LoadAll() const {
    const bool ok = Load(0, bytes_.size());
    if (ok) Release();
    return ok;
}

uint8_t* FileBlockStore::At(size_t offset, size_t length) {
    if (offset > bytes_.size() || length > bytes_.size() - offset) return nullptr;
    if (!Load(offset, length)) return nullptr;
    return bytes_.data() + offset;
}

bool FileBlockStore::OffsetOf(const uint8_t* p, size_t& offset) const {
    if (bytes_.empty() || p < bytes_.data() || p >= bytes_.data() + bytes_.size()) return false;
    offset = static_cast<size_t>(p - bytes_.data());
    return true;
}

void FileBlockStore::Assign(std::vector<uint8_t> bytes) {
    Release();
    failed_ = false;
    bytes_ = std::move(bytes);
}

void FileBlockStore::Assign(size_t size, uint8_t fill) {
    Release();
    failed_ = false;
    bytes_.assign(size, fill);
}

void FileBlockStore::Resize(size_t size) {
    LoadAll();
    bytes_.resize(size);
}

std::span<const uint8_t> FileBlockStore::Contents() const {
    // Callers count on the whole size; pages that could not be read stay zeros (Failed()).
    LoadAll();
    return bytes_;
}

bool FileBlockStore::Swap(std::vector<uint8_t>& buffer) {
    if (!LoadAll()) return false;
    bytes_.swap(buffer);
    return true;
}

} // namespace tessarind
