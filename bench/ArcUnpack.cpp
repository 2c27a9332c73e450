// Unpacks an ARC file into a blank 1541 image, the work of opening one in the editor, for
// arc_vs_cbmconvert.sh. With --write it makes the archive that script times: one crunched
// member of 100 KB of text-like bytes (letters drawn at random, so that it packs about as
// well as prose does, not as well as a repeated line).
//   ArcUnpack --write FILE
//   ArcUnpack FILE [TIMES]   prints the size of each member of the last run

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archives/Arc.h"
#include "formats/D64Image.h"
#include "support/ArcEncoder.h"
#include "support/ImageBuilder.h"

using namespace tessarind;

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write") {
        std::vector<uint8_t> text = testing::Pattern(100 * 1024, 17);
        const char letters[] = "  EEETTAAOINSHRDLCUMWFGYPBVK.,\r";
        for (uint8_t& c : text)
            c = static_cast<uint8_t>(letters[c % (sizeof letters - 1)]);
        const testing::ArcMember member{"BENCH TEXT", 'S', text, 3};
        const std::vector<uint8_t> archive = testing::BuildArc({member});
        std::ofstream out(argv[2], std::ios::binary);
        out.write(reinterpret_cast<const char*>(archive.data()),
                  static_cast<std::streamsize>(archive.size()));
        return out ? 0 : 1;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: ArcUnpack --write FILE | ArcUnpack FILE [TIMES]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> archive((std::istreambuf_iterator<char>(in)), {});
    const int times = argc > 2 ? std::atoi(argv[2]) : 1;
    for (int i = 0; i < times; ++i) {
        D64Image image;
        if (!image.Open(nullptr, "", false, true) || !UnpackArc(image, archive, false, nullptr))
            return 1;
        if (i + 1 < times) continue;
        for (int e = 0; e < image.entryCount(); ++e)
            std::printf("%zu\n", image.ReadFileData(e).value_or(std::vector<uint8_t>{}).size());
    }
    return 0;
}
