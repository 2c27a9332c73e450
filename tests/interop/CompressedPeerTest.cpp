// Images cc1541 wrote, gzipped and zipped by the system's tools, list as cc1541 lists the
// plain image; and a gzipped image this program changed lists in cc1541 once unpacked.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interop/PeerImages.h"

namespace tessarind {
namespace {

using interop::BuildWithCc1541;
using interop::ExpectSameListing;
using interop::ListWithCc1541;
using interop::SplitLines;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

TEST(CompressedPeer, PackedCc1541ImagesListAsCc1541ListsThem) {
    TempDir dir("tessarind-compressed-peer");
    const auto files = interop::MixedCatalogue();
    ASSERT_EQ(BuildWithCc1541(dir.path(), "mixed.d64", interop::kMixedDiskOptions, files).exitCode,
              0);
    const std::vector<std::string> peer = ListWithCc1541(dir / "mixed.d64");
    ASSERT_EQ(peer.size(), files.size() + 2);
    for (const std::vector<std::string>& pack :
         {std::vector<std::string>{"gzip", "-k", "mixed.d64"},
          std::vector<std::string>{"zip", "-q", "mixed.zip", "mixed.d64"}})
        ASSERT_EQ(RunProcess(pack, dir.path()).exitCode, 0) << pack[0];

    for (const std::string packed : {"mixed.d64.gz", "mixed.zip", "mixed.zip/mixed.d64"}) {
        SCOPED_TRACE(packed);
        const ProcessResult cli =
            RunProcess({TESSARIND_CLI, "list", (dir / packed).string(), "--lower"});
        ASSERT_EQ(cli.exitCode, 0);
        ExpectSameListing(SplitLines(cli.output), peer);
    }

    // Changed where it lies, the gzipped image is written gzipped; cc1541 reads it unpacked.
    const std::string gz = (dir / "mixed.d64.gz").string();
    const std::string first = files.front().name;
    ASSERT_EQ(RunProcess({TESSARIND_CLI, "rename", gz, first, "renamed"}).exitCode, 0);
    ASSERT_EQ(RunProcess({"sh", "-c", "gzip -dc mixed.d64.gz > changed.d64"}, dir.path()).exitCode,
              0);
    const std::vector<std::string> changed = ListWithCc1541(dir / "changed.d64");
    ASSERT_EQ(changed.size(), peer.size());
    EXPECT_NE(changed[1].find("renamed"), std::string::npos) << changed[1];
    const ProcessResult cli = RunProcess({TESSARIND_CLI, "list", gz, "--lower"});
    ExpectSameListing(SplitLines(cli.output), changed);
}

} // namespace
} // namespace tessarind
