// Feeds arbitrary bytes to the LHA and self-extracting LHA readers: truncated headers, lying
// sizes and broken "-lh1-" codes must end in a refusal, never in a read past the input or an
// allocation beyond what the input can hold (run with -malloc_limit_mb to catch one).
//
// The first input byte chooses: bit 0 the self-extracting form (the rest is put behind a
// stub, bit 3 choosing which of the two lengths its byte 103 names), bit 1 a 1581 target
// instead of a 1541, bit 2 an interactive run (messages and the title go to a silent owner).
// The rest is the archive; its first two bytes also size a run of the decoder alone.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "archives/Lha.h"
#include "formats/D64Image.h"
#include "formats/D81Image.h"
#include "model/Interaction.h"

using namespace tessarind;

namespace {

class Silent : public Interaction {
public:
    void Message(const std::string&, const std::string&) override {}
    Answer Ask(const std::string&, const std::string&, bool) override { return Answer::Cancel; }
    std::optional<long> AskNumber(const std::string&, long) override { return std::nullopt; }
    std::optional<SaveChoice> ChooseSaveFile(const SaveRequest&, bool&) override {
        return std::nullopt;
    }
};

template <class Image> std::unique_ptr<DiskImage> Blank() {
    auto image = std::make_unique<Image>();
    if (!image->Open(nullptr, "", false, true)) return nullptr;
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t options = data[0];
    std::span<const uint8_t> archive(data + 1, size - 1);
    std::unique_ptr<DiskImage> image = options & 2 ? Blank<D81Image>() : Blank<D64Image>();
    if (!image) std::abort();
    Silent owner;
    const bool interactive = options & 4;
    if (options & 1) {
        // A stub of either known length in front, so that short inputs reach the LHA data.
        std::vector<uint8_t> sfx(options & 8 ? 3721 : 3711, 0);
        sfx[103] = options & 8 ? 0xCE : 0xC4;
        sfx.insert(sfx.end(), archive.begin(), archive.end());
        UnpackSfx(*image, sfx, interactive, &owner);
    } else {
        UnpackLha(*image, archive, interactive, &owner);
    }
    // The decoder alone on the raw bytes, asked for an output size from its first two.
    if (archive.size() >= 3) {
        const std::size_t want = static_cast<std::size_t>(archive[0] | archive[1] << 8);
        std::vector<uint8_t> out(want);
        DecodeLh1(archive.subspan(2), out);
    }
    return 0;
}
