#include "archives/Lynx.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "archives/UnpackContext.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"

namespace tessarind {

namespace {

constexpr uint8_t kReturn = 0x0D;
constexpr std::size_t kBlock = 254;
constexpr int kMaxDigits = 6;
// A side sector lists 120 data blocks; the count a Lynx directory gives a relative file
// includes its side sectors, so every 121 blocks hold one of them.
constexpr uint64_t kRelGroup = 121;

// Reading the text directory; every step stays inside the archive.
struct DirectoryText {
    UnpackContext& context;

    bool AtEnd() const { return context.Remaining() == 0; }
    uint8_t Peek() const { return context.bytes[context.cursor]; }

    void SkipLine() {
        while (!AtEnd() && Peek() != kReturn)
            ++context.cursor;
        if (!AtEnd()) ++context.cursor;
    }

    // The next decimal number: anything before its digits is passed over, at most six digits
    // are taken. None when the text ends before a digit.
    std::optional<uint32_t> Number() {
        while (!AtEnd() && (Peek() < '0' || Peek() > '9'))
            ++context.cursor;
        if (AtEnd()) return std::nullopt;
        uint32_t value = 0;
        for (int digits = 0; digits < kMaxDigits && !AtEnd() && Peek() >= '0' && Peek() <= '9';
             ++digits, ++context.cursor)
            value = value * 10 + (Peek() - '0');
        return value;
    }

    // The bytes up to the next carriage return; the cursor moves past it.
    std::span<const uint8_t> Line() {
        const std::size_t start = context.cursor;
        while (!AtEnd() && Peek() != kReturn)
            ++context.cursor;
        std::span<const uint8_t> line = context.bytes.subspan(start, context.cursor - start);
        if (!AtEnd()) ++context.cursor;
        return line;
    }
};

// Where the directory text begins: after the zero link that ends the BASIC stub. None when a
// link leads outside the archive.
std::optional<std::size_t> TextStart(std::span<const uint8_t> bytes) {
    const unsigned loadAddress = bytes[0] | (bytes[1] << 8);
    std::size_t at = 2;
    // Each line must lie further on, so the walk ends within the archive's length.
    while (true) {
        if (at + 1 >= bytes.size()) return std::nullopt;
        const unsigned link = bytes[at] | (bytes[at + 1] << 8);
        if (link == 0) return at + 2;
        if (link < loadAddress) return std::nullopt;
        const std::size_t next = 2 + (link - loadAddress);
        if (next <= at || next >= bytes.size()) return std::nullopt;
        at = next;
    }
}

} // namespace

bool UnpackLynx(DiskImage& target, std::span<const uint8_t> archive, bool interactive,
                Interaction* ui) {
    // Writers end the archive after the last member's data, or after the directory when
    // the last members are empty: an archive may be shorter than its directory blocks.
    if (archive.size() < 2) return false;
    UnpackContext context(target, archive, interactive, ui, target.entryCount());
    std::optional<std::size_t> text = TextStart(archive);
    if (!text) return false;
    context.cursor = *text;
    DirectoryText directory{context};

    std::optional<uint32_t> directoryBlocks = directory.Number();
    if (!directoryBlocks || *directoryBlocks == 0) return false;
    uint64_t memberStart = uint64_t{*directoryBlocks} * kBlock;
    const uint64_t directoryEnd = memberStart;
    directory.SkipLine();
    std::optional<uint32_t> count = directory.Number();
    if (!count || *count == 0) return false;

    bool whole = true;
    for (uint32_t member = 0; member < *count; ++member) {
        directory.SkipLine();
        // A directory that promises more records than its blocks hold ends here.
        if (context.cursor >= directoryEnd) return false;
        const std::array<uint8_t, kNameLength> name = PaddedName(directory.Line());
        std::optional<uint32_t> blocks = directory.Number();
        directory.SkipLine();
        const int type = directory.AtEnd() ? kPrg : MemberTypeOfLetter(directory.Peek());
        int recordLength = 0;
        if (type == kRel) {
            directory.SkipLine();
            recordLength = static_cast<int>(directory.Number().value_or(0));
        }
        directory.SkipLine();
        std::optional<uint32_t> lastBlock = directory.Number();
        if (!blocks || !lastBlock) return false;

        uint64_t dataStart = memberStart;
        uint64_t dataBlocks = *blocks;
        if (type == kRel) {
            const uint64_t sideSectors = (dataBlocks + kRelGroup - 2) / kRelGroup;
            dataStart += sideSectors * kBlock;
            dataBlocks -= sideSectors;
        }
        // The last block holds 1 to 254 bytes, whatever a damaged record says.
        const uint64_t lastBytes = std::clamp<uint64_t>(*lastBlock, 1, kBlock + 1) - 1;
        uint64_t length = dataBlocks == 0 ? 0 : (dataBlocks - 1) * kBlock + lastBytes;
        const uint64_t available = dataStart < archive.size() ? archive.size() - dataStart : 0;
        if (length > available) {
            whole = false;
            length = available;
        }
        std::vector<uint8_t> data;
        if (length)
            data.assign(archive.begin() + static_cast<std::ptrdiff_t>(dataStart),
                        archive.begin() + static_cast<std::ptrdiff_t>(dataStart + length));
        const FormatRow* row = FindRowByCbmType(type);
        if (type == kRel) recordLength = std::clamp(recordLength, 1, 254);
        if (row && target.WriteFileData(name, context.nextIndex, interactive, std::move(data),
                                        recordLength, *row))
            ++context.nextIndex;
        else
            whole = false;
        memberStart += uint64_t{*blocks} * kBlock;
    }
    return whole;
}

} // namespace tessarind
