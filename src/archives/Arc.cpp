#include "archives/Arc.h"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <vector>

#include "archives/UnpackContext.h"
#include "model/DiskImage.h"

namespace tessarind {
namespace {

constexpr std::size_t kHeaderBytes = 11; // up to and including the name length
constexpr std::size_t kArcBlock = 254;   // members are counted in blocks of a CBM file
constexpr std::size_t kOnePassOutput = 131072;
constexpr int kMaxSqueezeBits = 24;
constexpr int kEndCode = 256;
constexpr int kFirstFreeCode = 258;
constexpr int kFirstWidth = 9;
constexpr int kMaxWidth = 12;
constexpr int kDictionarySize = 1 << kMaxWidth;

enum Method : int {
    Stored = 0,
    Packed = 1,
    Squeezed = 2,
    Crunched = 3,
    SqueezedPacked = 4,
    CrunchedOnePass = 5
};

// Each byte value with its bits in reverse order.
constexpr std::array<uint8_t, 256> kReversed = [] {
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v)
        for (int bit = 0; bit < 8; ++bit)
            if (v & (1 << bit)) table[v] |= static_cast<uint8_t>(0x80 >> bit);
    return table;
}();

// Reads one member's bytes and bits through the context's cursor, never past `end`. Bits are
// taken from each byte least significant first.
class MemberReader {
public:
    MemberReader(UnpackContext& context, std::size_t end)
        : c_(context), end_(std::min(end, context.bytes.size())) {
        c_.bitMask = 1;
    }

    int Byte() {
        if (c_.cursor >= end_) return -1;
        return c_.bytes[c_.cursor++];
    }
    int Bit() {
        if (c_.cursor >= end_) return -1;
        const int bit = (c_.bytes[c_.cursor] & c_.bitMask) ? 1 : 0;
        c_.bitMask = static_cast<uint8_t>(c_.bitMask << 1);
        if (c_.bitMask == 0) {
            c_.bitMask = 1;
            ++c_.cursor;
        }
        return bit;
    }
    // The first bit read becomes bit 0. At most 24 bits.
    std::optional<uint32_t> LowFirst(int count) {
        if (count <= 0) return 0u;
        const int offset = std::countr_zero(c_.bitMask);
        const std::size_t available = c_.cursor < end_ ? (end_ - c_.cursor) * 8 - offset : 0;
        if (available < static_cast<std::size_t>(count)) {
            c_.cursor = end_;
            return std::nullopt;
        }
        uint32_t word = 0;
        for (std::size_t i = 0; i < 4 && c_.cursor + i < end_; ++i)
            word |= static_cast<uint32_t>(c_.bytes[c_.cursor + i]) << (8 * i);
        const int used = offset + count;
        c_.cursor += static_cast<std::size_t>(used / 8);
        c_.bitMask = static_cast<uint8_t>(1u << (used % 8));
        return (word >> offset) & ((1u << count) - 1);
    }
    // Each new bit is shifted in at the bottom: the bits read, in reverse. At most 24 bits.
    std::optional<uint32_t> HighFirst(int count) {
        const std::optional<uint32_t> bits = LowFirst(count);
        if (!bits || count <= 0) return bits;
        uint32_t reversed = 0;
        for (int i = 0; i < 4; ++i)
            reversed = (reversed << 8) | kReversed[(*bits >> (8 * i)) & 0xFF];
        return reversed >> (32 - count);
    }

private:
    UnpackContext& c_;
    std::size_t end_;
};

// The squeeze codes as a tree walked bit by bit in reading order: the first node reached that
// ends a code gives its byte, so a shorter code wins over a longer one it begins, and of two
// equal codes the lower byte value.
class SqueezeTable {
public:
    // False when a code is longer than 24 bits or the table runs past the member.
    bool Read(MemberReader& in) {
        nodes_.assign(1, Node{});
        for (int value = 0; value < 256; ++value) {
            const std::optional<uint32_t> length = in.LowFirst(5);
            if (!length || *length > kMaxSqueezeBits) return false;
            if (*length == 0) continue;
            const std::optional<uint32_t> code = in.LowFirst(static_cast<int>(*length));
            if (!code) return false;
            std::size_t node = 0;
            for (uint32_t i = 0; i < *length; ++i) {
                const int bit = (*code >> i) & 1;
                if (nodes_[node].child[bit] == 0) {
                    nodes_[node].child[bit] = static_cast<uint16_t>(nodes_.size());
                    nodes_.push_back(Node{});
                }
                node = nodes_[node].child[bit];
            }
            if (nodes_[node].value < 0) nodes_[node].value = static_cast<int16_t>(value);
        }
        return true;
    }
    // The next byte, or -1 when the data ends or no code matches within 24 bits.
    int Next(MemberReader& in) const {
        std::size_t node = 0;
        for (int i = 0; i < kMaxSqueezeBits; ++i) {
            const int bit = in.Bit();
            if (bit < 0) return -1;
            node = nodes_[node].child[bit];
            if (node == 0) return -1; // no code goes on this way
            if (nodes_[node].value >= 0) return nodes_[node].value;
        }
        return -1;
    }

private:
    struct Node {
        std::array<uint16_t, 2> child{}; // 0: none (the root is nobody's child)
        int16_t value = -1;
    };
    std::vector<Node> nodes_; // at most 1 + 256 * 24
};

// The LZW dictionary of crunched members: 0-255 the single bytes, 256 the end, 257 unused,
// new strings from 258 on, codes 9 bits wide at first and up to 12.
class Cruncher {
public:
    explicit Cruncher(bool trailer) : trailer_(trailer) {
        for (int i = 0; i < 256; ++i) {
            entries_[i] = {0, static_cast<uint8_t>(i), static_cast<uint8_t>(i), 1};
        }
    }

    int Next(MemberReader& in) {
        if (position_ < string_.size()) return string_[position_++];
        if (ended_ || !ReadCode(in)) {
            ended_ = true;
            return -1;
        }
        position_ = 1;
        return string_[0];
    }
    // The length written after the end code of a one-pass member.
    std::optional<uint32_t> TrailingLength() const { return trailingLength_; }

private:
    struct Entry {
        uint16_t prefix;
        uint8_t last;
        uint8_t first;
        uint16_t length;
    };

    bool Defined(int code) const { return code < 256 || (code >= kFirstFreeCode && code < next_); }

    void Spell(int code) {
        const Entry& entry = entries_[code];
        string_.resize(entry.length);
        for (std::size_t i = entry.length; i-- > 0;) {
            string_[i] = entries_[code].last;
            code = entries_[code].prefix;
        }
    }

    bool ReadCode(MemberReader& in) {
        const std::optional<uint32_t> read = in.HighFirst(width_);
        if (!read) return false;
        int code = static_cast<int>(*read);
        if (code == kEndCode) {
            if (trailer_) {
                const std::optional<uint32_t> checksum = in.HighFirst(16);
                if (checksum) trailingLength_ = in.HighFirst(24);
            }
            return false;
        }
        if (previous_ < 0) {
            if (code >= 256) return false; // nothing to build a first string from
            Spell(code);
            previous_ = code;
            return true;
        }
        const bool pending = code == next_ && next_ < kDictionarySize;
        if (pending) {
            // Not yet in the dictionary: the previous string and its own first byte.
            Spell(previous_);
            string_.push_back(entries_[previous_].first);
        } else if (Defined(code)) {
            Spell(code);
        } else {
            Spell(previous_); // damaged: the previous string once more
            return true;
        }
        if (next_ < kDictionarySize) {
            entries_[next_] = {static_cast<uint16_t>(previous_), string_[0],
                               entries_[previous_].first,
                               static_cast<uint16_t>(entries_[previous_].length + 1)};
            if (next_ == (1 << width_) - 2 && width_ < kMaxWidth) ++width_;
            ++next_;
        }
        previous_ = code;
        return true;
    }

    bool trailer_;
    std::array<Entry, kDictionarySize> entries_{};
    int next_ = kFirstFreeCode;
    int width_ = kFirstWidth;
    int previous_ = -1;
    std::vector<uint8_t> string_;
    std::size_t position_ = 0;
    bool ended_ = false;
    std::optional<uint32_t> trailingLength_;
};

struct MemberHeader {
    int version = 0;
    int method = 0;
    std::size_t length = 0;
    std::size_t blocks = 0;
    int typeCode = kPrg;
    std::span<const uint8_t> name;
    uint8_t marker = 0xFE;
    int recordLength = 0;
};

// The header at `at`; the context's cursor is left on the byte after it. None when it does
// not fit the archive or counts no blocks (the next header would be this one again).
std::optional<MemberHeader> ReadHeader(UnpackContext& context, std::size_t at) {
    const std::span<const uint8_t> bytes = context.bytes;
    if (at >= bytes.size() || bytes.size() - at < kHeaderBytes) return std::nullopt;
    const uint8_t* h = bytes.data() + at;
    MemberHeader header;
    header.version = h[0];
    header.method = h[1];
    header.length = h[4] | (h[5] << 8) | (static_cast<std::size_t>(h[6]) << 16);
    header.blocks = h[7] | (h[8] << 8);
    header.typeCode = MemberTypeOfLetter(h[9]);
    const std::size_t nameLength = h[10];
    const std::size_t extra = header.version < 2 ? 1 : 3;
    // A member's last block must at least begin inside the archive; the last member of a
    // file is not padded to whole blocks.
    if (header.blocks == 0 || (header.blocks - 1) * kArcBlock >= bytes.size() - at)
        return std::nullopt;
    if (bytes.size() - at - kHeaderBytes < nameLength + extra) return std::nullopt;
    header.name = bytes.subspan(at + kHeaderBytes, std::min<std::size_t>(nameLength, kNameLength));
    const uint8_t* after = h + kHeaderBytes + nameLength;
    if (header.version < 2)
        header.marker = after[0];
    else
        header.recordLength = after[0];
    context.cursor = at + kHeaderBytes + nameLength + extra;
    return header;
}

// Decodes one member's data until the output is full, the data runs out or the code says
// it ends. None when its squeeze table is faulty.
std::optional<std::vector<uint8_t>> DecodeMember(UnpackContext& context, const MemberHeader& header,
                                                 std::size_t end) {
    MemberReader in(context, end);
    const int method = header.method;
    std::vector<uint8_t> out;
    if (method > CrunchedOnePass) return out;

    SqueezeTable squeeze;
    if ((method == Squeezed || method == SqueezedPacked) && !squeeze.Read(in)) return std::nullopt;
    Cruncher crunch(method == CrunchedOnePass);
    auto next = [&]() -> int {
        switch (method) {
        case Squeezed:
        case SqueezedPacked:
            return squeeze.Next(in);
        case Crunched:
        case CrunchedOnePass:
            return crunch.Next(in);
        default:
            return in.Byte();
        }
    };

    const bool packed = method != Stored && method != Squeezed;
    const std::size_t limit = method == CrunchedOnePass ? kOnePassOutput : header.length;
    // Grown as bytes arrive, so that a damaged length costs no memory of its own.
    out.reserve(std::min<std::size_t>(limit, 1 << 16));
    while (out.size() < limit) {
        const int value = next();
        if (value < 0) break;
        if (!packed || value != header.marker) {
            out.push_back(static_cast<uint8_t>(value));
            continue;
        }
        const int count = next();
        const int repeated = count < 0 ? -1 : next();
        if (repeated < 0) break;
        const std::size_t times =
            count != 0 ? static_cast<std::size_t>(count) : (header.version == 1 ? 255 : 256);
        out.insert(out.end(), std::min(times, limit - out.size()), static_cast<uint8_t>(repeated));
    }
    if (method == CrunchedOnePass) {
        if (const std::optional<uint32_t> length = crunch.TrailingLength())
            out.resize(std::min<std::size_t>(out.size(), *length));
    }
    return out;
}

} // namespace

bool UnpackArc(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui) {
    UnpackContext context(target, archive, interactive, ui, target.entryCount());
    if (archive.size() < kHeaderBytes) return false;
    int written = 0;
    for (std::size_t at = 0;;) {
        const std::optional<MemberHeader> header = ReadHeader(context, at);
        if (!header) break;
        const std::size_t end = at + header->blocks * kArcBlock;
        const std::optional<std::vector<uint8_t>> data = DecodeMember(context, *header, end);
        if (!data) break;
        if (!WriteArchiveMember(context, PaddedName(header->name), header->typeCode, *data,
                                header->recordLength))
            return false;
        ++written;
        at = end;
    }
    return written > 0;
}

bool UnpackSda(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui) {
    constexpr std::size_t kShortestStub = 1016;
    if (archive.size() < kShortestStub) return false;
    // The stub's line number counts its blocks, six more than it takes.
    const int blocks = archive[4] - 6;
    const long start = blocks * static_cast<long>(kArcBlock) - (archive[8] == '2' ? 0 : 1);
    if (start < 0 || static_cast<std::size_t>(start) > archive.size()) return false;
    return UnpackArc(target, archive.subspan(static_cast<std::size_t>(start)), interactive, ui);
}

} // namespace tessarind
