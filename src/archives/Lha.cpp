#include "archives/Lha.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "archives/UnpackContext.h"
#include "model/DiskImage.h"
#include "model/Interaction.h"
#include "text/Petscii.h"

namespace tessarind {
namespace {

constexpr std::size_t kFixedHeader = 22;   // the header up to and with the name-length byte
constexpr std::size_t kNothingLeft = 25;   // an archive or a rest this short holds no member
constexpr std::size_t kNameBytesUsed = 18; // the name proper comes from these at most
constexpr int kRelRecordLength = 254;      // LHA keeps no record length: one record a block

// "-lh1-": 256 literals and the match lengths 3 to 60.
constexpr int kSymbols = 314;
constexpr int kNodes = 2 * kSymbols - 1; // 627; a value at or above it in `son` is a leaf
constexpr int kRoot = kNodes - 1;
constexpr int kLengthBias = 253;                   // match length = symbol - 253
constexpr uint16_t kRescaleAt = 0x8000;            // the root's count that halves all counts
constexpr std::size_t kMostBytesPerCodedByte = 48; // a 60-byte match costs at least 10 bits

uint32_t Le32(std::span<const uint8_t> b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

const std::array<uint16_t, 256>& CrcTable() {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
            t[i] = static_cast<uint16_t>(crc);
        }
        return t;
    }();
    return table;
}

// Bits most significant first. Past the end of the input it reads zeros and remembers that
// it did, so that the decoder can refuse a code that needed them.
class BitReader {
public:
    explicit BitReader(std::span<const uint8_t> bytes)
        : next_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    unsigned Bit() {
        if (count_ == 0) Refill();
        const unsigned bit = static_cast<unsigned>(buffer_ >> 63);
        buffer_ <<= 1;
        --count_;
        return bit;
    }
    // n from 1 to 24.
    unsigned Peek(int n) {
        if (count_ < n) Refill();
        return static_cast<unsigned>(buffer_ >> (64 - n));
    }
    void Skip(int n) {
        buffer_ <<= n;
        count_ -= n;
    }
    unsigned Bits(int n) {
        const unsigned value = Peek(n);
        Skip(n);
        return value;
    }
    // True once a bit beyond the input has been taken.
    bool Overrun() const { return padding_ * 8 > count_; }

private:
    void Refill() {
        while (count_ <= 56) {
            uint64_t byte = 0;
            if (next_ < end_)
                byte = *next_++;
            else
                ++padding_;
            buffer_ |= byte << (56 - count_);
            count_ += 8;
        }
    }

    const uint8_t* next_;
    const uint8_t* end_;
    uint64_t buffer_ = 0; // unread bits, left-aligned
    int count_ = 0;
    long padding_ = 0; // zero bytes read past the end
};

// The upper six bits of a match position from the next eight bits of input: the value and
// how many of those bits its code takes (3 to 8).
struct PositionCode {
    uint8_t upper;
    uint8_t length;
};

const std::array<PositionCode, 256>& PositionCodes() {
    static const std::array<PositionCode, 256> codes = [] {
        struct Row {
            unsigned limit, subtrahend;
        };
        constexpr Row rows[] = {{1, 0}, {5, 1}, {18, 6}, {48, 24}, {120, 72}, {256, 192}};
        std::array<PositionCode, 256> table{};
        for (unsigned next8 = 0; next8 < 256; ++next8) {
            unsigned v = next8 >> 5;
            int length = 3;
            for (const Row& row : rows) {
                if (v < row.limit) {
                    table[next8] = {static_cast<uint8_t>(v - row.subtrahend),
                                    static_cast<uint8_t>(length)};
                    break;
                }
                ++length;
                v = 2 * v + (next8 >> (8 - length) & 1);
            }
        }
        return table;
    }();
    return codes;
}

// The adaptive Huffman tree of "-lh1-". Nodes sit in order of non-decreasing count, the root
// last; the two children of an inner node are neighbours, the first at `son`.
class AdaptiveTree {
public:
    AdaptiveTree() {
        for (int i = 0; i < kSymbols; ++i) {
            freq_[i] = 1;
            son_[i] = static_cast<uint16_t>(kNodes + i);
            parent_[kNodes + i] = static_cast<uint16_t>(i);
        }
        for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
            freq_[j] = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
            son_[j] = static_cast<uint16_t>(i);
            parent_[i] = parent_[i + 1] = static_cast<uint16_t>(j);
        }
        freq_[kNodes] = 0xFFFF; // above every count: ends the search for a place
        parent_[kRoot] = kNodes;
    }

    int Decode(BitReader& in) {
        unsigned node = son_[kRoot];
        while (node < kNodes)
            node = son_[node + in.Bit()];
        const int symbol = static_cast<int>(node) - kNodes;
        Update(symbol);
        return symbol;
    }

private:
    // Counts the symbol once more along its path, moving each node past the nodes of equal
    // count so that the order stays sorted.
    void Update(int symbol) {
        if (freq_[kRoot] == kRescaleAt) Rescale();
        int c = parent_[kNodes + symbol];
        do {
            const uint16_t count = ++freq_[c];
            int last = c + 1;
            if (count > freq_[last]) {
                while (count > freq_[++last]) {
                }
                --last;
                freq_[c] = freq_[last];
                freq_[last] = count;
                const int moved = son_[c];
                parent_[moved] = static_cast<uint16_t>(last);
                if (moved < kNodes) parent_[moved + 1] = static_cast<uint16_t>(last);
                const int other = son_[last];
                son_[last] = static_cast<uint16_t>(moved);
                parent_[other] = static_cast<uint16_t>(c);
                if (other < kNodes) parent_[other + 1] = static_cast<uint16_t>(c);
                son_[c] = static_cast<uint16_t>(other);
                c = last;
            }
            c = parent_[c];
        } while (c != kNodes);
    }

    // Halves the leaves' counts (rounding up) and builds the inner nodes afresh, each placed
    // after the nodes whose count does not exceed its own.
    void Rescale() {
        int leaves = 0;
        for (int i = 0; i < kNodes; ++i) {
            if (son_[i] >= kNodes) {
                freq_[leaves] = static_cast<uint16_t>((freq_[i] + 1) / 2);
                son_[leaves] = son_[i];
                ++leaves;
            }
        }
        for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
            const uint16_t sum = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
            int at = j - 1;
            while (sum < freq_[at])
                --at;
            ++at;
            std::copy_backward(freq_.begin() + at, freq_.begin() + j, freq_.begin() + j + 1);
            std::copy_backward(son_.begin() + at, son_.begin() + j, son_.begin() + j + 1);
            freq_[at] = sum;
            son_[at] = static_cast<uint16_t>(i);
        }
        for (int i = 0; i < kNodes; ++i) {
            const int child = son_[i];
            parent_[child] = static_cast<uint16_t>(i);
            if (child < kNodes) parent_[child + 1] = static_cast<uint16_t>(i);
        }
    }

    std::array<uint16_t, kNodes + 1> freq_;
    std::array<uint16_t, kNodes> son_;
    // The parent of each node, then from kNodes on the leaf of each symbol.
    std::array<uint16_t, kNodes + kSymbols> parent_;
};

struct MemberName {
    std::array<uint8_t, kNameLength> petscii; // converted, padded with shifted spaces
    std::string_view stored;                  // the name proper as the archive has it
    int typeCode = kPrg;
};

// The name field: a zero byte before the last one makes the last a type letter; the name
// proper is cut at the first zero within its first 18 bytes.
MemberName ReadName(std::span<const uint8_t> field) {
    MemberName name;
    const std::size_t n = field.size();
    if (n >= 2 && field[n - 2] == 0) name.typeCode = MemberTypeOfLetter(field[n - 1]);
    const auto head = field.first(std::min(n, kNameBytesUsed));
    const auto end = std::find(head.begin(), head.end(), uint8_t{0});
    name.stored = std::string_view(reinterpret_cast<const char*>(head.data()),
                                   static_cast<std::size_t>(end - head.begin()));
    name.petscii.fill(kPad);
    const std::size_t length = std::min<std::size_t>(name.stored.size(), kNameLength);
    std::copy_n(head.begin(), length, name.petscii.begin());
    AsciiToPetsciiName(std::span<uint8_t>(name.petscii.data(), length), false);
    return name;
}

} // namespace

uint16_t LhaCrc16(std::span<const uint8_t> bytes, uint16_t crc) {
    const std::array<uint16_t, 256>& table = CrcTable();
    for (uint8_t b : bytes)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ b) & 0xFF]);
    return crc;
}

bool DecodeLh1(std::span<const uint8_t> coded, std::span<uint8_t> out) {
    const std::array<PositionCode, 256>& positions = PositionCodes();
    AdaptiveTree tree;
    BitReader in(coded);
    uint8_t* const begin = out.data();
    const std::size_t size = out.size();
    std::size_t at = 0;
    while (at < size) {
        const int symbol = tree.Decode(in);
        if (symbol < 256) {
            begin[at++] = static_cast<uint8_t>(symbol);
        } else {
            const std::size_t length = static_cast<std::size_t>(symbol - kLengthBias);
            const PositionCode code = positions[in.Peek(8)];
            in.Skip(code.length);
            const std::size_t distance =
                (static_cast<std::size_t>(code.upper) << 6 | in.Bits(6)) + 1;
            if (length > size - at) return false;
            if (distance <= at) {
                const uint8_t* from = begin + at - distance;
                uint8_t* to = begin + at;
                for (std::size_t i = 0; i < length; ++i)
                    to[i] = from[i]; // overlaps repeat
            } else {
                // Before the start the dictionary holds spaces.
                for (std::size_t i = 0; i < length; ++i)
                    begin[at + i] = at + i >= distance ? begin[at + i - distance] : ' ';
            }
            at += length;
        }
        if (in.Overrun()) return false;
    }
    return true;
}

bool UnpackLha(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui) {
    UnpackContext context(target, archive, interactive, ui, target.entryCount());
    if (archive.size() <= kNothingLeft) return true;
    int members = 0;
    for (;;) {
        const std::span<const uint8_t> rest = archive.subspan(context.cursor);
        if (rest.size() < kFixedHeader) return false;
        const std::size_t headerSize = rest[0];
        if (rest.size() < headerSize + 2) return false;
        const std::size_t nameLength = rest[21];
        if (headerSize != nameLength + kFixedHeader) return members > 0;

        const std::string_view method(reinterpret_cast<const char*>(rest.data() + 2), 5);
        const bool stored = method == "-lh0-";
        if (!stored && method != "-lh1-") return false;
        unsigned sum = 0;
        for (std::size_t i = 2; i < headerSize + 2; ++i)
            sum += rest[i];
        if ((sum & 0xFF) != rest[1]) return false;

        const uint32_t packed = Le32(rest, 7);
        const uint32_t unpacked = Le32(rest, 11);
        const MemberName name = ReadName(rest.subspan(kFixedHeader, nameLength));
        const std::size_t crcAt = kFixedHeader + nameLength;
        const uint16_t storedCrc = static_cast<uint16_t>(rest[crcAt] | rest[crcAt + 1] << 8);
        const std::span<const uint8_t> data = rest.subspan(crcAt + 2);
        if (data.empty() || packed > data.size()) return false;

        std::vector<uint8_t> member;
        uint16_t crc = storedCrc;
        if (stored) {
            if (unpacked > data.size()) return false;
            member.assign(data.begin(), data.begin() + unpacked);
        } else {
            if (unpacked / kMostBytesPerCodedByte > data.size()) return false;
            member.resize(unpacked);
            if (!DecodeLh1(data, member)) return false;
            crc = LhaCrc16(member);
        }

        const std::string hostName = HostFileName(name.petscii, 64, target.settings());
        if (members == 0 && name.stored == "title" && interactive && ui) {
            ui->ShowText(hostName, std::move(member));
        } else if (!WriteArchiveMember(context, name.petscii, name.typeCode, member,
                                       name.typeCode == kRel ? kRelRecordLength : 0)) {
            return false;
        }
        if (crc != storedCrc) context.Tell("CRC error on " + hostName + ", continuing");
        ++members;

        context.cursor += crcAt + 2 + packed;
        if (context.Remaining() <= kNothingLeft) return true;
    }
}

std::size_t SfxDataOffset(std::span<const uint8_t> archive) {
    constexpr std::size_t kShortestStub = 3711;
    if (archive.size() < kShortestStub) return 0;
    switch (archive[103]) {
    case 0xCE:
        return 3721;
    case 0xC4:
        return 3711;
    default:
        return 0;
    }
}

bool UnpackSfx(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
               Interaction* ui) {
    const std::size_t offset = SfxDataOffset(archive);
    if (offset == 0 || offset > archive.size()) return false;
    return UnpackLha(target, archive.subspan(offset), interactive, ui);
}

} // namespace tessarind
