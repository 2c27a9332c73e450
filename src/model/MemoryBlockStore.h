#pragma once
// The bytes of an image read whole into memory.

#include "model/BlockStore.h"

namespace tessarind {

class MemoryBlockStore final : public BlockStore {
public:
    size_t Size() const override { return bytes_.size(); }
    uint8_t* At(size_t offset, size_t length) override {
        return offset <= bytes_.size() && length <= bytes_.size() - offset ? bytes_.data() + offset
                                                                            : nullptr;
    }
    bool OffsetOf(const uint8_t* p, size_t& offset) const override {
        if (bytes_.empty() || p < bytes_.data() || p >= bytes_.data() + bytes_.size()) return false;
        offset = static_cast<size_t>(p - bytes_.data());
        return true;
    }
    void Assign(std::vector<uint8_t> bytes) override { bytes_ = std::move(bytes); }
    void Assign(size_t size, uint8_t fill) override { bytes_.assign(size, fill); }
    void Resize(size_t size) override { bytes_.resize(size); }
    std::span<const uint8_t> Contents() const override { return bytes_; }
    bool Swap(std::vector<uint8_t>& buffer) override {
        bytes_.swap(buffer);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
};

} // namespace tessarind
