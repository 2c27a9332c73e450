// Archives made by the test-side "-lh1-" coder are checked by lhasa (listed, tested,
// extracted byte for byte); our reader must then unpack the same archives to the same bytes.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archives/Lha.h"
#include "formats/D81Image.h"
#include "interop/PeerTools.h"
#include "support/ImageBuilder.h"
#include "support/LhaEncoder.h"
#include "support/Process.h"
#include "support/Recorders.h"

namespace tessarind {
namespace {

using testing::LhaArchive;
using testing::LhaMember;
using testing::Pattern;
using testing::RunProcess;
using testing::TempDir;
using testing::TypedLhaName;

std::vector<uint8_t> Text(std::size_t size) {
    static const char* words[] = {"disk ",   "drive ",    "sector ", "the ", "track ",
                                  "block\r", "10 print ", "load ",   "c64 ", "data "};
    std::vector<uint8_t> out;
    for (uint32_t i = 0, x = 7; out.size() < size; ++i) {
        x = x * 1103515245u + 12345u;
        for (const char* w = words[(x >> 16) % 10]; *w && out.size() < size; ++w)
            out.push_back(*w);
    }
    return out;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

LhaMember Member(std::string name, std::vector<uint8_t> data, bool packed = true) {
    LhaMember m;
    m.name = std::move(name);
    m.data = std::move(data);
    m.packed = packed;
    return m;
}

// The host name lhasa gives a member: its name field up to the first zero byte.
std::string HostName(const LhaMember& m) {
    return m.name.substr(0, m.name.find('\0'));
}

TEST(LhaInterop, LhasaAndWeUnpackOurArchivesAlike) {
    const std::vector<LhaMember> members = {
        Member("spaces", Concat(std::vector<uint8_t>(70, ' '), Text(500))),
        Member(TypedLhaName("seqfile", 'S'), Text(3000)),
        Member(TypedLhaName("delfile", 'D'), Text(10)),
        Member(TypedLhaName("usrfile", 'U'), Pattern(700, 5)),
        Member(TypedLhaName("relfile", 'R'), Text(2540)),
        Member(TypedLhaName("prgfile", 'P'), Text(1)),
        // More symbols than the tree counts before it halves them all, several times over.
        Member("bigfile", Concat(Pattern(60000, 11), Text(70000))),
        Member("stored", Text(4000), false),
        Member("empty", {}),
    };
    const std::vector<int> types = {kPrg, kSeq, kDel, kUsr, kRel, kPrg, kPrg, kPrg, kPrg};
    TempDir dir("lha-interop");
    const auto archive = LhaArchive(members);
    WriteFile(dir / "ours.lha", archive);

    const auto listing = RunProcess({"lhasa", "l", (dir / "ours.lha").string()});
    ASSERT_EQ(listing.exitCode, 0) << listing.output;
    for (const LhaMember& m : members)
        EXPECT_NE(listing.output.find(HostName(m)), std::string::npos) << HostName(m);
    const auto tested = RunProcess({"lhasa", "t", (dir / "ours.lha").string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.output;
    std::filesystem::create_directory(dir / "out");
    const auto extracted =
        RunProcess({"lhasa", "xfw=" + (dir / "out").string(), (dir / "ours.lha").string()});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.output;
    for (const LhaMember& m : members)
        EXPECT_EQ(ReadFile(dir / "out" / HostName(m)), m.data) << HostName(m);

    auto image = interop::NewImage<D81Image>();
    ASSERT_TRUE(image);
    testing::RecordingInteraction ui;
    ASSERT_TRUE(UnpackLha(*image, archive, true, &ui));
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(image->entryCount(), static_cast<int>(members.size()));
    for (int i = 0; i < image->entryCount(); ++i) {
        SCOPED_TRACE(HostName(members[i]));
        EXPECT_EQ(image->EntryAt(i).typeCode(), types[i]);
        if (types[i] != kDel && !members[i].data.empty()) { // a DEL entry's chain is not read
            EXPECT_EQ(image->ReadFileData(i), members[i].data);
        }
    }
}

// A member whose stored CRC is wrong: lhasa's test says so, and so do we, keeping the member.
TEST(LhaInterop, WrongCrcIsReportedByBoth) {
    LhaMember bad = Member("badcrc", Text(5000));
    bad.crc = static_cast<uint16_t>(LhaCrc16(bad.data) ^ 0x0101);
    const auto archive = LhaArchive({bad, Member("good", Text(300))});
    TempDir dir("lha-crc");
    WriteFile(dir / "crc.lha", archive);
    const auto tested = RunProcess({"lhasa", "t", (dir / "crc.lha").string()});
    EXPECT_NE(tested.exitCode, 0) << tested.output;

    auto image = testing::BlankD64();
    testing::RecordingInteraction ui;
    ASSERT_TRUE(UnpackLha(*image, archive, true, &ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "CRC error on badcrc, continuing");
    ASSERT_EQ(image->entryCount(), 2);
    EXPECT_EQ(image->ReadFileData(0), bad.data);
}

} // namespace
} // namespace tessarind
