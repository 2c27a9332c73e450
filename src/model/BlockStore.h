#pragma once
// Where an image's bytes live. The image and its format reach them only through this seam,
// so a store that reads blocks from the file on demand, or one that is a window into a parent
// container, can take the place of the in-memory one without touching their callers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tessarind {

class BlockStore {
public:
    virtual ~BlockStore() = default;

    virtual size_t Size() const = 0;
    bool Empty() const { return Size() == 0; }
    // `length` bytes from `offset`, to read and change in place; null when they pass the end.
    virtual uint8_t* At(size_t offset, size_t length) = 0;
    // The offset of a byte the store handed out; false when `p` is not one of its bytes.
    virtual bool OffsetOf(const uint8_t* p, size_t& offset) const = 0;

    // New contents: the bytes given, or `size` bytes of `fill`.
    virtual void Assign(std::vector<uint8_t> bytes) = 0;
    virtual void Assign(size_t size, uint8_t fill) = 0;
    // Cuts the contents to `size` bytes, or grows them with zeros.
    virtual void Resize(size_t size) = 0;
    // The whole contents, to write out.
    virtual std::span<const uint8_t> Contents() const = 0;
    // A copy of the contents, to tell later whether anything changed.
    std::vector<uint8_t> Snapshot() const {
        std::span<const uint8_t> bytes = Contents();
        return {bytes.begin(), bytes.end()};
    }
    // Trades the contents for `buffer`'s, so a caller that opens image after image can keep
    // one large buffer (false when the store does not hold its bytes in memory).
    virtual bool Swap(std::vector<uint8_t>& buffer) = 0;
};

} // namespace tessarind
