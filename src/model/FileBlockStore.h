#pragma once
// The bytes of an image file read on demand: each 4 KB page of the file is read with pread
// when a block in it is first reached, so listing a disk reads its header, BAM and directory
// and not the whole file. Changes stay in memory; asking for the whole contents (to write
// them out, or to swap them) reads the rest first. A page that cannot be read (the file
// shrank meanwhile) reaches At as a missing block (null); the whole contents keep their size
// with zeros there, and Failed() says so. Meant for images that are only read.

#include <atomic>
#include <memory>
#include <string>

#include "model/BlockStore.h"

namespace tessarind {

class FileBlockStore final : public BlockStore {
public:
    // The store of a regular file; none when it cannot be opened or is no regular file.
    static std::unique_ptr<FileBlockStore> Open(const std::string& path);
    ~FileBlockStore() override;
    FileBlockStore(const FileBlockStore&) = delete;
    FileBlockStore& operator=(const FileBlockStore&) = delete;

    size_t Size() const override { return bytes_.size(); }
    uint8_t* At(size_t offset, size_t length) override;
    bool OffsetOf(const uint8_t* p, size_t& offset) const override;
    void Assign(std::vector<uint8_t> bytes) override;
    void Assign(size_t size, uint8_t fill) override;
    void Resize(size_t size) override;
    std::span<const uint8_t> Contents() const override;
    bool Swap(std::vector<uint8_t>& buffer) override;

    // Whether every page was read (or the contents were replaced).
    bool Complete() const { return fd_ < 0; }
    // Whether a page could not be read.
    bool Failed() const { return failed_; }
    // Bytes read from files by every store of the process so far, for measurements.
    static uint64_t BytesRead() { return bytesRead_.load(std::memory_order_relaxed); }

private:
    FileBlockStore(int fd, size_t size);
    // Reads the pages under [offset, offset + length); false when one cannot be read.
    bool Load(size_t offset, size_t length) const;
    // Reads every page left and lets go of the file.
    bool LoadAll() const;
    void Release() const;

    mutable int fd_ = -1;
    mutable std::vector<uint8_t> bytes_;
    mutable std::vector<bool> loaded_; // one per page
    mutable bool failed_ = false;      // a page could not be read
    static inline std::atomic<uint64_t> bytesRead_{0};
};

// While one lives on a thread, the images that thread opens from plain files read their
// blocks on demand (searches and batch runs, which only read); elsewhere files are read whole.
class ReadOnDemandScope {
public:
    ReadOnDemandScope() : outer_(active_) { active_ = true; }
    ~ReadOnDemandScope() { active_ = outer_; }
    ReadOnDemandScope(const ReadOnDemandScope&) = delete;
    ReadOnDemandScope& operator=(const ReadOnDemandScope&) = delete;
    static bool Active() { return active_; }

private:
    bool outer_;
    static inline thread_local bool active_ = false;
};

} // namespace tessarind
