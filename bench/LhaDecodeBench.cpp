// Decoding a 1 MB "-lh1-" member: our decoder against `lhasa p` on the same archive, each as a
// fresh process writing the member to /dev/null, interleaved round by round; the medians and
// their ratio are printed. The archive comes from the test-side coder.
//
// usage: LhaDecodeBench [ROUNDS]            the comparison (lhasa on PATH)
//        LhaDecodeBench --decode ARCHIVE    decodes the first member to standard output
//        LhaDecodeBench --write ARCHIVE SIZE  writes an archive of one SIZE-byte member

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archives/Lha.h"
#include "support/ImageBuilder.h"
#include "support/LhaEncoder.h"
#include "support/Process.h"

using namespace tessarind;

namespace {

// Text-like bytes with stretches of noise, packing to about half their size.
std::vector<uint8_t> Sample(std::size_t size) {
    static const char* words[] = {"disk ",     "drive ", "sector ", "the ",  "track ", "block\r",
                                  "10 print ", "load ",  "c64 ",    "data ", "lha ",   "menu\r"};
    std::vector<uint8_t> out;
    uint32_t x = 12345;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        if ((x >> 24) < 20) {
            for (int i = 0; i < 40 && out.size() < size; ++i) {
                x = x * 1103515245u + 12345u;
                out.push_back(static_cast<uint8_t>(x >> 16));
            }
        }
        for (const char* w = words[(x >> 16) % 12]; *w && out.size() < size; ++w)
            out.push_back(*w);
    }
    return out;
}

std::vector<uint8_t> ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

int Decode(const char* path) {
    const std::vector<uint8_t> archive = ReadAll(path);
    if (archive.size() < 24 || archive.size() < archive[0] + 2u) return 1;
    const std::size_t start = archive[0] + 2u;
    std::vector<uint8_t> out(Le32(archive, 11));
    if (!DecodeLh1(std::span(archive).subspan(start), out)) return 1;
    const std::size_t crcAt = start - 2;
    if (LhaCrc16(out) != (archive[crcAt] | archive[crcAt + 1] << 8)) return 1;
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}

double Seconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--decode" && argc == 3) return Decode(argv[2]);
    const auto write = [](const std::string& path, std::size_t size) {
        testing::LhaMember member;
        member.name = "sample";
        member.data = Sample(size);
        const std::vector<uint8_t> archive = testing::LhaArchive({member});
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(archive.data()),
                   static_cast<std::streamsize>(archive.size()));
        return archive.size();
    };
    if (mode == "--write" && argc == 4) {
        write(argv[2], std::strtoul(argv[3], nullptr, 10));
        return 0;
    }

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    testing::TempDir dir("lha-bench");
    const std::string archive = (dir / "sample.lha").string();
    const std::size_t packed = write(archive, 1 << 20);
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    const std::string ours =
        testing::ShellQuote(self) + " --decode " + testing::ShellQuote(archive);
    const std::string theirs = "lhasa pq " + testing::ShellQuote(archive);
    // Both must give the same bytes.
    Seconds(ours + " >" + testing::ShellQuote((dir / "a").string()));
    Seconds(theirs + " >" + testing::ShellQuote((dir / "b").string()));
    if (ReadAll((dir / "a").c_str()) != ReadAll((dir / "b").c_str())) {
        std::fprintf(stderr, "the two decoders disagree\n");
        return 1;
    }
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        if (r % 2) {
            b.push_back(Seconds(theirs + " >/dev/null"));
            a.push_back(Seconds(ours + " >/dev/null"));
        } else {
            a.push_back(Seconds(ours + " >/dev/null"));
            b.push_back(Seconds(theirs + " >/dev/null"));
        }
    }
    std::printf("1 MB -lh1- member (%zu bytes packed), median of %d runs each:\n", packed, rounds);
    std::printf("  ours (DecodeLh1)  %8.2f ms\n", Median(a) * 1000);
    std::printf("  lhasa p           %8.2f ms\n", Median(b) * 1000);
    std::printf("  ratio ours/lhasa  %8.3f\n", Median(a) / Median(b));
    return 0;
}
