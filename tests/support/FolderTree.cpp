#include "support/FolderTree.h"

#include <fstream>

#include "support/ArchiveBuilder.h"
#include "support/ImageBuilder.h"

namespace tessarind::testing {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<D64Image> DiskWith(const std::vector<std::string>& files) {
    auto image = BlankD64("DISK");
    for (const std::string& file : files)
        if (!AddFile(*image, {file, 0x82, Pattern(100, static_cast<uint32_t>(file.size()))}))
            return nullptr;
    return image;
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

bool WriteTreeDisk(const fs::path& top, const TreeDisk& disk) {
    auto image = DiskWith(disk.files);
    if (!image) return false;
    fs::create_directories((top / disk.path).parent_path());
    return image->WriteFile((top / disk.path).string());
}

bool WriteZipcodeSet(const fs::path& top, const std::string& name,
                     const std::vector<std::string>& files) {
    auto image = DiskWith(files);
    if (!image) return false;
    // Parts 1, 2 and 3 carry tracks 1-8, 9-16 and 17-25.
    constexpr int kLastTrack[] = {8, 16, 25};
    int track = 1;
    for (int part = 1; part <= 3; ++part) {
        ZipcodePartBuilder builder(part == 1);
        for (; track <= kLastTrack[part - 1]; ++track) {
            // A track's sectors end where the image has none.
            for (int sector = 0; const uint8_t* block = image->SectorPointer(track, sector);
                 ++sector)
                builder.Stored(track, sector, std::vector<uint8_t>(block, block + 256));
        }
        if (!WriteBytes(top / (std::to_string(part) + "!" + name), builder.Bytes())) return false;
    }
    return true;
}

bool WriteSearchTree(const fs::path& top) {
    bool ok = WriteZipcodeSet(top, "SET", {"GAME"});
    ok = ok && WriteBytes(top / "junk.bin", Pattern(1000, 7));
    ok = ok && WriteBytes(top / "notes.txt", {'G', 'A', 'M', 'E', '\n'});
    for (const TreeDisk& disk :
         {TreeDisk{"one.d64", {"GAME", "TOOL"}}, TreeDisk{"sub/two.d64", {"GAME"}},
          TreeDisk{"sub/deeper/three.d64", {"OTHER"}}})
        ok = ok && WriteTreeDisk(top, disk);
    return ok;
}

} // namespace tessarind::testing
