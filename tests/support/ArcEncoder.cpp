#include "support/ArcEncoder.h"

#include <algorithm>
#include <array>
#include <map>
#include <queue>
#include <utility>

#include "support/ImageBuilder.h"

namespace tessarind::testing {
namespace {

constexpr size_t kBlock = 254;
constexpr size_t kRecord = 29;
constexpr int kMaxCodeBits = 24;

// Huffman code lengths of the byte values, none above 24 bits: when a tree comes out deeper
// the counts are flattened and it is built again.
std::array<int, 256> CodeLengths(const std::vector<uint8_t>& values) {
    std::array<uint64_t, 256> counts{};
    for (uint8_t v : values)
        ++counts[v];
    std::array<int, 256> lengths{};
    const auto used = std::count_if(counts.begin(), counts.end(), [](uint64_t c) { return c; });
    if (used == 1) {
        for (int v = 0; v < 256; ++v)
            if (counts[v]) lengths[v] = 1;
        return lengths;
    }
    for (;;) {
        using Item = std::pair<uint64_t, int>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
        std::vector<int> parent(256, -1);
        for (int v = 0; v < 256; ++v)
            if (counts[v]) queue.push({counts[v], v});
        while (queue.size() > 1) {
            const Item a = queue.top();
            queue.pop();
            const Item b = queue.top();
            queue.pop();
            const int node = static_cast<int>(parent.size());
            parent.push_back(-1);
            parent[a.second] = parent[b.second] = node;
            queue.push({a.first + b.first, node});
        }
        int deepest = 0;
        for (int v = 0; v < 256; ++v) {
            lengths[v] = 0;
            if (!counts[v]) continue;
            for (int n = v; parent[n] >= 0; n = parent[n])
                ++lengths[v];
            deepest = std::max(deepest, lengths[v]);
        }
        if (deepest <= kMaxCodeBits) return lengths;
        for (uint64_t& c : counts)
            if (c) c = c / 2 + 1;
    }
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

size_t BlocksOf(size_t bytes) {
    return (bytes + kBlock - 1) / kBlock;
}

} // namespace

std::vector<uint8_t> SampleText(size_t size, int seed) {
    const std::string line = "10 PRINT \"HELLO, WORLD\":GOTO 10\r20 REM SOME MORE TEXT HERE\r";
    std::vector<uint8_t> text;
    for (size_t i = 0; text.size() < size; ++i)
        text.push_back(static_cast<uint8_t>(line[(i * 7 + i / 61 + seed) % line.size()]));
    return text;
}

std::vector<uint8_t> SampleRuns() {
    std::vector<uint8_t> data = Pattern(300, 3);
    for (uint8_t value : {0xFE, 0xDB, 0x00, 0x41})
        for (size_t run : {1, 2, 3, 4, 255, 256, 300}) {
            data.insert(data.end(), run, value);
            data.push_back(0x42);
        }
    return data;
}

void BitWriter::Bit(int bit) {
    if (used_ == 8) {
        bytes_.push_back(0);
        used_ = 0;
    }
    if (bit) bytes_.back() |= static_cast<uint8_t>(1 << used_);
    ++used_;
}

void BitWriter::LowFirst(uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        Bit((value >> i) & 1);
}

void BitWriter::HighFirst(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i)
        Bit((value >> i) & 1);
}

std::vector<uint8_t> RunLengthPack(const std::vector<uint8_t>& data, uint8_t marker) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i] && run < 255)
            ++run;
        if (run >= 3 || data[i] == marker) {
            out.insert(out.end(), {marker, static_cast<uint8_t>(run), data[i]});
        } else {
            out.insert(out.end(), run, data[i]);
        }
        i += run;
    }
    return out;
}

void Squeeze(const std::vector<uint8_t>& values, BitWriter& out) {
    const std::array<int, 256> lengths = CodeLengths(values);
    // Canonical codes, each bit-reversed so that the first bit read is its top bit: the codes
    // stay free of prefixes in the order they are read.
    std::vector<int> order;
    for (int v = 0; v < 256; ++v)
        if (lengths[v]) order.push_back(v);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return lengths[a] < lengths[b]; });
    std::array<uint32_t, 256> codes{};
    uint32_t code = 0;
    int length = order.empty() ? 0 : lengths[order.front()];
    for (int v : order) {
        code <<= lengths[v] - length;
        length = lengths[v];
        uint32_t reversed = 0;
        for (int i = 0; i < length; ++i)
            reversed |= ((code >> i) & 1) << (length - 1 - i);
        codes[v] = reversed;
        ++code;
    }
    for (int v = 0; v < 256; ++v) {
        out.LowFirst(static_cast<uint32_t>(lengths[v]), 5);
        if (lengths[v]) out.LowFirst(codes[v], lengths[v]);
    }
    for (uint8_t v : values)
        out.LowFirst(codes[v], lengths[v]);
}

void Crunch(const std::vector<uint8_t>& values, BitWriter& out, bool trailer, uint16_t checksum,
            uint32_t length) {
    constexpr int kEnd = 256, kFirstFree = 258, kFull = 4096;
    std::map<std::pair<int, uint8_t>, int> dictionary;
    int nextOwn = kFirstFree;  // the next code this side gives out
    int nextSeen = kFirstFree; // the next code the reader gives out: one string behind
    int width = 9;
    bool first = true;
    auto emit = [&](int code) {
        out.HighFirst(static_cast<uint32_t>(code), width);
        if (!first && nextSeen < kFull) {
            if (nextSeen == (1 << width) - 2 && width < 12) ++width;
            ++nextSeen;
        }
        first = false;
    };
    if (!values.empty()) {
        int string = values[0];
        for (size_t i = 1; i < values.size(); ++i) {
            auto found = dictionary.find({string, values[i]});
            if (found != dictionary.end()) {
                string = found->second;
                continue;
            }
            emit(string);
            if (nextOwn < kFull) dictionary[{string, values[i]}] = nextOwn++;
            string = values[i];
        }
        emit(string);
    }
    out.HighFirst(kEnd, width);
    if (trailer) {
        out.HighFirst(checksum, 16);
        out.HighFirst(length, 24);
    }
}

uint16_t ArcChecksum(const std::vector<uint8_t>& data, int version) {
    uint32_t sum = 0;
    for (size_t i = 0; i < data.size(); ++i)
        sum += version == 1 ? data[i] : data[i] ^ static_cast<uint8_t>(i + 1);
    return static_cast<uint16_t>(sum);
}

std::vector<uint8_t> ArcHeader(const ArcMember& member, size_t packedSize) {
    const size_t headerSize = 11 + member.name.size() + (member.version < 2 ? 1 : 3);
    std::vector<uint8_t> out = {static_cast<uint8_t>(member.version),
                                static_cast<uint8_t>(member.method)};
    PutLe(out, ArcChecksum(member.data, member.version), 2);
    PutLe(out, static_cast<uint32_t>(member.data.size()), 3);
    PutLe(out, static_cast<uint32_t>(BlocksOf(headerSize + packedSize)), 2);
    out.push_back(static_cast<uint8_t>(member.typeLetter));
    out.push_back(static_cast<uint8_t>(member.name.size()));
    out.insert(out.end(), member.name.begin(), member.name.end());
    if (member.version < 2)
        out.push_back(member.marker);
    else
        out.insert(out.end(), {static_cast<uint8_t>(member.recordLength), 0, 0});
    return out;
}

std::vector<uint8_t> EncodeArcMember(const ArcMember& member) {
    const int m = member.method;
    const bool packed = m == 1 || m == 3 || m == 4 || m == 5;
    const std::vector<uint8_t> values =
        packed ? RunLengthPack(member.data, member.version < 2 ? member.marker : 0xFE)
               : member.data;
    std::vector<uint8_t> body;
    BitWriter bits;
    if (m == 0 || m == 1) {
        body = values;
    } else if (m == 2 || m == 4) {
        Squeeze(values, bits);
        body = bits.Bytes();
    } else if (m == 3 || m == 5) {
        Crunch(values, bits, m == 5, ArcChecksum(member.data, member.version),
               static_cast<uint32_t>(member.data.size()));
        body = bits.Bytes();
    }
    std::vector<uint8_t> out = ArcHeader(member, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> BuildArc(const std::vector<ArcMember>& members) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < members.size(); ++i) {
        std::vector<uint8_t> member = EncodeArcMember(members[i]);
        if (i + 1 < members.size()) member.resize(BlocksOf(member.size()) * kBlock, 0);
        out.insert(out.end(), member.begin(), member.end());
    }
    return out;
}

std::vector<uint8_t> BuildSda(const std::vector<uint8_t>& arc, int stubBlocks, bool versionTwo) {
    std::vector<uint8_t> out(stubBlocks * kBlock - (versionTwo ? 0 : 1), 0xEA);
    // Load address, line link, the line number (blocks + 6), SYS and its digits.
    const uint8_t line = static_cast<uint8_t>(stubBlocks + 6);
    const std::vector<uint8_t> basic = {0x01, 0x08, 0x0D,
                                        0x08, line, 0x00,
                                        0x9E, 0x20, static_cast<uint8_t>(versionTwo ? '2' : '1')};
    std::copy(basic.begin(), basic.end(), out.begin());
    out.insert(out.end(), arc.begin(), arc.end());
    return out;
}

int RelSideBlocks(size_t dataBlocks) {
    return static_cast<int>((dataBlocks + 119) / 120);
}

std::vector<uint8_t> BuildArk(const std::vector<ArkMember>& members) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(members.size())};
    for (const ArkMember& m : members) {
        const size_t blocks = BlocksOf(m.data.size());
        const size_t last = m.data.size() - (blocks ? blocks - 1 : 0) * kBlock;
        const bool rel = (m.type & 7) == 4;
        std::vector<uint8_t> record(kRecord, 0);
        record[0] = m.type;
        record[1] = static_cast<uint8_t>(last + 1); // the link byte of the last block
        std::fill(record.begin() + 2, record.begin() + 18, 0xA0);
        std::copy_n(m.name.begin(), std::min<size_t>(m.name.size(), 16), record.begin() + 2);
        record[18] = static_cast<uint8_t>(m.recordLength);
        std::copy_n(m.stamp.begin(), std::min<size_t>(m.stamp.size(), 5), record.begin() + 19);
        record[25] = rel ? static_cast<uint8_t>(RelSideBlocks(blocks)) : 0;
        record[27] = static_cast<uint8_t>(blocks);
        record[28] = static_cast<uint8_t>(blocks >> 8);
        out.insert(out.end(), record.begin(), record.end());
    }
    out.resize((members.size() * kRecord + kBlock) / kBlock * kBlock, 0);
    for (size_t i = 0; i < members.size(); ++i) {
        const ArkMember& m = members[i];
        const size_t blocks = BlocksOf(m.data.size());
        out.insert(out.end(), m.data.begin(), m.data.end());
        const bool rel = (m.type & 7) == 4;
        if (i + 1 < members.size() || rel) out.resize(out.size() + blocks * kBlock - m.data.size());
        if (rel) out.resize(out.size() + RelSideBlocks(blocks) * kBlock, 0);
    }
    return out;
}

} // namespace tessarind::testing
