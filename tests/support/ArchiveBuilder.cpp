#include "support/ArchiveBuilder.h"

#include <algorithm>

namespace tessarind::testing {

namespace {

constexpr size_t kBlock = 254;

void Text(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

size_t DataBlocks(const LynxMember& member) {
    return (member.data.size() + kBlock - 1) / kBlock;
}

size_t SideSectors(const LynxMember& member) {
    return member.type == 'R' ? (DataBlocks(member) + 119) / 120 : 0;
}

} // namespace

int LynxBlocks(const LynxMember& member) {
    return static_cast<int>(DataBlocks(member) + SideSectors(member));
}

std::vector<uint8_t> LynxArchive(const std::vector<LynxMember>& members) {
    // Load address $0801, one BASIC line (10 SYS 2061), then the zero link.
    std::vector<uint8_t> out = {0x01, 0x08, 0x0B, 0x08, 0x0A, 0x00, 0x9E,
                                '2',  '0',  '6',  '1',  0x00, 0x00, 0x00};
    std::vector<uint8_t> directory;
    Text(directory, " " + std::to_string(members.size()) + " \r");
    for (const LynxMember& m : members) {
        std::string name = m.name.substr(0, 16);
        name.resize(16, '\xA0');
        Text(directory, name + "\r");
        Text(directory, " " + std::to_string(LynxBlocks(m)) + "\r");
        Text(directory, std::string(1, m.type) + "\r");
        if (m.type == 'R') Text(directory, " " + std::to_string(m.recordLength) + " \r");
        const size_t last = m.data.empty() ? 0 : m.data.size() - (DataBlocks(m) - 1) * kBlock + 1;
        Text(directory, " " + std::to_string(last) + " \r");
    }
    // The header's block count includes itself; grow it until it fits.
    size_t headerBlocks = 1;
    for (;; ++headerBlocks) {
        std::string line = "\r " + std::to_string(headerBlocks) + "  *LYNX TEST*\r";
        if (out.size() + line.size() + directory.size() <= headerBlocks * kBlock) {
            Text(out, line);
            break;
        }
    }
    out.insert(out.end(), directory.begin(), directory.end());
    out.resize(headerBlocks * kBlock, 0);
    for (size_t i = 0; i < members.size(); ++i) {
        const LynxMember& m = members[i];
        // Side sectors are not needed to unpack: their blocks stay zero.
        out.resize(out.size() + SideSectors(m) * kBlock, 0);
        out.insert(out.end(), m.data.begin(), m.data.end());
        if (i + 1 < members.size()) {
            const size_t used = m.data.size() % kBlock;
            if (used) out.resize(out.size() + kBlock - used, 0);
        }
    }
    return out;
}

ZipcodePartBuilder::ZipcodePartBuilder(bool first) {
    bytes_ = first ? std::vector<uint8_t>{0xFE, 0x03, 'Z', 'Z'} : std::vector<uint8_t>{0x00, 0x04};
}

ZipcodePartBuilder& ZipcodePartBuilder::Stored(int track, int sector,
                                               const std::vector<uint8_t>& bytes) {
    bytes_.push_back(static_cast<uint8_t>(track));
    bytes_.push_back(static_cast<uint8_t>(sector));
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

ZipcodePartBuilder& ZipcodePartBuilder::Fill(int track, int sector, uint8_t value) {
    bytes_.insert(bytes_.end(),
                  {static_cast<uint8_t>(track | 0x40), static_cast<uint8_t>(sector), value});
    return *this;
}

ZipcodePartBuilder& ZipcodePartBuilder::Packed(int track, int sector, uint8_t marker,
                                               const std::vector<uint8_t>& packed) {
    bytes_.insert(bytes_.end(), {static_cast<uint8_t>(track | 0x80), static_cast<uint8_t>(sector),
                                 static_cast<uint8_t>(packed.size()), marker});
    bytes_.insert(bytes_.end(), packed.begin(), packed.end());
    return *this;
}

ZipcodePartBuilder& ZipcodePartBuilder::None(int track, int sector) {
    bytes_.push_back(static_cast<uint8_t>(track | 0xC0));
    bytes_.push_back(static_cast<uint8_t>(sector));
    return *this;
}

} // namespace tessarind::testing
