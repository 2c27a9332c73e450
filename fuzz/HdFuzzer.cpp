// Opens arbitrary bytes as a CMD HD container read from a sparse file: the input lies over
// the partition table (sector 5/0 on), so that short inputs reach its entries and links.
// Lists the table, opens every partition and reads its tree, makes a partition and writes
// the changed sectors back, which must read back the same.

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CmdFuzz.h"
#include "formats/CmdContainerImage.h"
#include "model/FormatRegistry.h"

using namespace tessarind;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kName = "HdFuzzer";
    if (size == 0) return 0;
    static const std::string path = "/tmp/hd-fuzz-" + std::to_string(::getpid()) + ".dhd";
    // The first byte: bits 0-3 the file's size, 1 to 16 MB; bit 7 a few bytes more, past a
    // track's edge; bit 6 a 1541 partition made and written back.
    const uint64_t megabytes = 1 + data[0] % 16;
    const uint64_t fileSize = (megabytes << 20) + ((data[0] & 0x80) ? 300 : 0);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return 0;
    bool written = ::ftruncate(fd, static_cast<off_t>(fileSize)) == 0;
    const size_t offset = 4 * 65536; // the partition table, sector (5, 0) on
    const size_t n = std::min<size_t>(size - 1, fileSize > offset ? fileSize - offset : 0);
    written =
        written && ::pwrite(fd, data + 1, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
    ::close(fd);
    if (!written) return 0;

    {
        CmdContainerImage image(FormatId::Dhd);
        if (!image.Open(nullptr, path, true, false))
            fuzz::CmdCheck(false, kName, "a readable file did not open");
        fuzz::cmdSink = fuzz::cmdSink + image.PartitionListing("x", false).size();
        fuzz::cmdSink = fuzz::cmdSink + static_cast<size_t>(image.FreeBlockCount());
        fuzz::ReadPartitions(image, 300, kName);
        if (data[0] & 0x40) image.CreatePartition(FormatId::D64, 0);
        const std::vector<uint8_t> listed =
            image.EntryAt(0)
                ? std::vector<uint8_t>(image.EntryAt(0).data(), image.EntryAt(0).data() + 32)
                : std::vector<uint8_t>();
        if (image.modified()) fuzz::CmdCheck(image.WriteFile(path), kName, "writing back failed");
        CmdContainerImage again(FormatId::Dhd);
        fuzz::CmdCheck(again.Open(nullptr, path, true, false), kName,
                       "the written file did not open");
        const std::vector<uint8_t> reread =
            again.EntryAt(0)
                ? std::vector<uint8_t>(again.EntryAt(0).data(), again.EntryAt(0).data() + 32)
                : std::vector<uint8_t>();
        fuzz::CmdCheck(listed == reread, kName, "the first entry reads back otherwise");
    }
    ::unlink(path.c_str());
    return 0;
}
