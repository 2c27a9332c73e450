#include "support/LhaEncoder.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "archives/Lha.h"

namespace tessarind::testing {
namespace {

constexpr int kLeaves = 314;
constexpr int kNodeCount = 2 * kLeaves - 1;
constexpr int kTop = kNodeCount - 1;
constexpr int kOutside = kNodeCount; // the root's parent
constexpr unsigned kHalveAt = 0x8000;
constexpr std::size_t kWindow = 4096;
constexpr std::size_t kLongest = 60;
constexpr std::size_t kShortest = 3;

// The code tree kept as the method describes it, node by node: a count, a symbol (leaves),
// the first child (inner nodes; the second is the next node) and the parent.
class CodeTree {
public:
    CodeTree() {
        for (int i = 0; i < kLeaves; ++i) {
            nodes_[i] = {1, -1, i, 0};
            leafOf_[i] = i;
        }
        for (int k = 0; k < kLeaves - 1; ++k) {
            Node& inner = nodes_[kLeaves + k];
            inner = {nodes_[2 * k].count + nodes_[2 * k + 1].count, 2 * k, -1, 0};
        }
        Relink();
        nodes_[kTop].parent = kOutside;
    }

    // The code of a symbol, root first, as (bits, length); then the tree learns it.
    template <class Put> void Encode(int symbol, Put put) {
        unsigned bits = 0;
        int length = 0;
        for (int n = leafOf_[symbol]; n != kTop; n = nodes_[n].parent, ++length) {
            if (n != nodes_[nodes_[n].parent].child) bits |= 1u << length;
        }
        for (int i = length - 1; i >= 0; --i)
            put(bits >> i & 1, 1);
        Learn(symbol);
    }

private:
    struct Node {
        unsigned count;
        int child;
        int symbol;
        int parent;
    };

    void Learn(int symbol) {
        if (nodes_[kTop].count == kHalveAt) Halve();
        for (int n = leafOf_[symbol]; n != kOutside;) {
            int last = n;
            while (last < kTop && nodes_[last + 1].count == nodes_[n].count)
                ++last;
            if (last != n) {
                std::swap(nodes_[n].child, nodes_[last].child);
                std::swap(nodes_[n].symbol, nodes_[last].symbol);
                Adopt(n);
                Adopt(last);
            }
            ++nodes_[last].count;
            n = nodes_[last].parent;
        }
    }

    // Points the children of node n (or its symbol) back at n.
    void Adopt(int n) {
        if (nodes_[n].child >= 0)
            nodes_[nodes_[n].child].parent = nodes_[nodes_[n].child + 1].parent = n;
        else
            leafOf_[nodes_[n].symbol] = n;
    }

    void Relink() {
        for (int n = 0; n < kNodeCount; ++n)
            Adopt(n);
    }

    // The leaves keep their order with halved counts (rounded up); the inner nodes are made
    // again pair by pair, each put after every node whose count is not above its own.
    void Halve() {
        std::vector<Node> order;
        for (const Node& n : nodes_)
            if (n.child < 0) order.push_back({(n.count + 1) / 2, -1, n.symbol, 0});
        for (int pair = 0; order.size() < static_cast<std::size_t>(kNodeCount); pair += 2) {
            const unsigned sum = order[pair].count + order[pair + 1].count;
            auto place = std::upper_bound(order.begin() + pair + 2, order.end(), sum,
                                          [](unsigned s, const Node& n) { return s < n.count; });
            order.insert(place, Node{sum, pair, -1, 0});
        }
        std::copy(order.begin(), order.end(), nodes_.begin());
        Relink();
        nodes_[kTop].parent = kOutside;
    }

    std::array<Node, kNodeCount> nodes_;
    std::array<int, kLeaves> leafOf_;
};

class BitWriter {
public:
    void Put(unsigned value, int length) {
        for (int i = length - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>(current_ << 1 | (value >> i & 1));
            if (++used_ == 8) {
                bytes_.push_back(current_);
                current_ = 0;
                used_ = 0;
            }
        }
    }
    std::vector<uint8_t> Finish() {
        if (used_) bytes_.push_back(static_cast<uint8_t>(current_ << (8 - used_)));
        return std::move(bytes_);
    }

private:
    std::vector<uint8_t> bytes_;
    uint8_t current_ = 0;
    int used_ = 0;
};

// The upper six bits of a position: 1 code of 3 bits, 3 of 4, 8 of 5, 12 of 6, 24 of 7, 16
// of 8 bits, each group's codes following the previous group's.
void PutPosition(BitWriter& out, unsigned position) {
    const unsigned upper = position >> 6;
    struct Group {
        unsigned first, length, code;
    };
    constexpr Group groups[] = {{0, 3, 0},   {1, 4, 2},   {4, 5, 10},
                                {12, 6, 36}, {24, 7, 96}, {48, 8, 240}};
    const Group* g = groups;
    while (g + 1 != std::end(groups) && upper >= g[1].first)
        ++g;
    out.Put(g->code + upper - g->first, static_cast<int>(g->length));
    out.Put(position & 63, 6);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<uint8_t> EncodeLh1(std::span<const uint8_t> data) {
    // The text with the dictionary's spaces in front; positions index it.
    std::vector<uint8_t> text(kWindow, ' ');
    text.insert(text.end(), data.begin(), data.end());
    constexpr std::size_t kHashSize = 1 << 16;
    constexpr int kTries = 32;
    std::vector<int> head(kHashSize, -1), previous(text.size(), -1);
    auto hash = [&](std::size_t p) {
        return (text[p] * 0x9E37u ^ text[p + 1] * 0x85EBu ^ text[p + 2] * 0xC2B3u) &
               (kHashSize - 1);
    };
    auto remember = [&](std::size_t p) {
        if (p + kShortest > text.size()) return;
        const std::size_t h = hash(p);
        previous[p] = head[h];
        head[h] = static_cast<int>(p);
    };
    for (std::size_t p = 0; p < kWindow; ++p)
        remember(p);

    CodeTree tree;
    BitWriter out;
    auto put = [&](unsigned bits, int length) { out.Put(bits, length); };
    std::size_t p = kWindow;
    while (p < text.size()) {
        const std::size_t room = std::min(kLongest, text.size() - p);
        std::size_t bestLength = 0, bestFrom = 0;
        if (room >= kShortest) {
            int tries = kTries;
            for (int c = head[hash(p)]; c >= 0 && p - c <= kWindow && tries--; c = previous[c]) {
                std::size_t n = 0;
                while (n < room && text[c + n] == text[p + n])
                    ++n;
                if (n > bestLength) {
                    bestLength = n;
                    bestFrom = static_cast<std::size_t>(c);
                    if (n == room) break;
                }
            }
        }
        if (bestLength >= kShortest) {
            tree.Encode(static_cast<int>(253 + bestLength), put);
            PutPosition(out, static_cast<unsigned>(p - bestFrom - 1));
        } else {
            bestLength = 1;
            tree.Encode(text[p], put);
        }
        for (std::size_t i = 0; i < bestLength; ++i)
            remember(p + i);
        p += bestLength;
    }
    return out.Finish();
}

std::vector<uint8_t> LhaMemberBytes(const LhaMember& member) {
    const std::vector<uint8_t> body = member.packed ? EncodeLh1(member.data) : member.data;
    const std::string_view method = member.packed ? "-lh1-" : "-lh0-";
    std::vector<uint8_t> header = {static_cast<uint8_t>(22 + member.name.size()),
                                   0}; // 0: checksum, below
    header.reserve(24 + member.name.size() + body.size());
    header.insert(header.end(), method.begin(), method.end());
    PutLe(header, static_cast<uint32_t>(body.size()), 4);
    PutLe(header, static_cast<uint32_t>(member.data.size()), 4);
    PutLe(header, 0x28210000, 4); // 1 January 2000, midnight
    header.push_back(0x20);       // archive attribute
    header.push_back(member.level);
    header.push_back(static_cast<uint8_t>(member.name.size()));
    header.insert(header.end(), member.name.begin(), member.name.end());
    PutLe(header, member.crc.value_or(LhaCrc16(member.data)), 2);
    unsigned sum = 0;
    for (std::size_t i = 2; i < header.size(); ++i)
        sum += header[i];
    header[1] = static_cast<uint8_t>(sum);
    header.insert(header.end(), body.begin(), body.end());
    return header;
}

std::vector<uint8_t> LhaArchive(const std::vector<LhaMember>& members) {
    std::vector<uint8_t> archive;
    for (const LhaMember& m : members) {
        const std::vector<uint8_t> bytes = LhaMemberBytes(m);
        archive.insert(archive.end(), bytes.begin(), bytes.end());
    }
    archive.push_back(0);
    return archive;
}

std::string TypedLhaName(const std::string& name, char letter) {
    std::string field = name;
    field.push_back('\0');
    field.push_back(letter);
    return field;
}

} // namespace tessarind::testing
