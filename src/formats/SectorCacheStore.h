#pragma once
// The bytes of a large image read from its file a 256-byte sector at a time, when first
// asked for, and kept. Saving back to the same file writes only the sectors that changed.

#include <array>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>

#include "model/BlockStore.h"

namespace tessarind {

class SectorCacheStore final : public BlockStore {
public:
    static constexpr size_t kSectorBytes = 256;

    SectorCacheStore() = default;
    ~SectorCacheStore() override;
    SectorCacheStore(const SectorCacheStore&) = delete;
    SectorCacheStore& operator=(const SectorCacheStore&) = delete;

    // Opens the file and records its size; false when it cannot be opened.
    bool OpenFile(const std::string& path);

    size_t Size() const override { return size_; }
    // Bytes within one sector only; null past the end or when the sector cannot be read.
    uint8_t* At(size_t offset, size_t length) override;
    bool OffsetOf(const uint8_t* p, size_t& offset) const override;
    // Nothing is held whole: these leave the store as it is.
    void Assign(std::vector<uint8_t>) override {}
    void Assign(size_t, uint8_t) override {}
    void Resize(size_t) override {}
    std::span<const uint8_t> Contents() const override { return {}; }
    bool Swap(std::vector<uint8_t>&) override { return false; }

    // Writes the changed sectors back into the file they were read from.
    bool WriteBack(int* errorNumber = nullptr);
    // Writes the whole image to another file (through a temporary file beside it), which
    // then becomes the file sectors are read from.
    bool CopyTo(const std::string& target, int* errorNumber = nullptr);

    // The file sectors are read from and written back to.
    const std::string& FilePath() const { return path_; }
    // What reading has cost so far, for measurements.
    size_t BytesRead() const { return bytesRead_; }
    size_t CachedSectors() const { return cache_.size(); }
    size_t ChangedSectors() const;

private:
    struct Sector {
        std::array<uint8_t, kSectorBytes> bytes;
        std::array<uint8_t, kSectorBytes> asRead;
    };
    bool Reopen();

    std::string path_;
    int fd_ = -1;
    size_t size_ = 0;
    size_t bytesRead_ = 0;
    std::unordered_map<size_t, std::unique_ptr<Sector>> cache_;
    std::map<const uint8_t*, size_t> offsets_; // sector bytes -> their offset
};

} // namespace tessarind
