// Opens arbitrary bytes as a GCR-level 1541 image: offset tables pointing anywhere, track
// lengths that lie, syncs and blocks cut anywhere. Decoding must stay inside the bytes, end,
// and leave a 1541 image whose every sector reports one of the decoder's results.
//
// The last input byte, when its bit 0x80 is set, picks a fill byte other than 0 (its low
// seven bits), so the fill of missing sectors is told apart from zeros that were read.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "FuzzImage.h"
#include "catalog/DirectoryListing.h"
#include "formats/G64Image.h"
#include "formats/GcrDecoder.h"

using namespace tessarind;

namespace {

constexpr const char* kHarness = "G64Fuzzer";

volatile size_t sink;

void Check(bool ok, const char* what) {
    if (!ok) fuzz::Fail(kHarness, what);
}

// The codes the decoder stores: OK, header not found, data not present, the two checksums.
bool IsDecoderCode(uint8_t code) {
    return code == 1 || code == 2 || code == 4 || code == 5 || code == 9;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzz::AddDefaultTimeout(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    Settings settings;
    const uint8_t last = size ? data[size - 1] : 0;
    const uint8_t fill = (last & 0x80) ? static_cast<uint8_t>(last & 0x7F) : 0;
    settings.Set(SettingId::FillByte, fill);

    // The decoder alone: every track of the table, and no more sectors than the layout has.
    const GcrTracks tracks = DecodeG64(file, D64Image::Layout(), D64Image::kExtendedTracks, fill);
    Check(tracks.size() == D64Image::kExtendedTracks, "not one row per track");
    for (int t = 1; t <= D64Image::kExtendedTracks; ++t) {
        const std::vector<GcrSector>& track = tracks[static_cast<size_t>(t - 1)];
        Check(track.size() == static_cast<size_t>(D64Image::SectorsOnTrack(t)),
              "a track with another sector count than the layout's");
        for (const GcrSector& sector : track) {
            Check(sector.found || sector.result == GcrResult::HeaderBlockNotFound,
                  "a sector not found with a result other than header not found");
            if (sector.result == GcrResult::DataBlockNotPresent)
                Check(std::ranges::all_of(sector.data, [&](uint8_t b) { return b == fill; }),
                      "a data block not present is not the fill byte");
        }
    }

    // The image, opened as the opener opens bytes in memory.
    auto image = std::make_unique<G64Image>(&settings);
    Check(image->Open(nullptr, "fuzz.g64", false, true), "the blank image did not open");
    image->LoadFromMemory(file);
    Check(std::ranges::equal(image->RawBytes(), file), "the raw bytes were not kept as read");
    Check(image->path() == "fuzz.d64", "the path did not take the 1541 extension");
    Check(image->untitled() && !image->modified() && image->Journal().empty(),
          "opening left an edit, or a name to save under");
    const bool forty = (image->flags() & kFlagExtraTracks) != 0;
    Check(image->trackCount() == (forty ? 40 : 35), "track count and extended tracks disagree");
    Check(image->errorByteCount() == (forty ? D64Image::kErrorCount40 : D64Image::kErrorCount35),
          "error byte count and extended tracks disagree");
    Check(image->Store().Size() == D64Image::kImageBytes, "the sector area is not a 1541 image");
    for (int i = 0; i < image->errorByteCount(); ++i)
        Check(IsDecoderCode(image->errorBytes()[static_cast<size_t>(i)]),
              "an error byte the decoder does not make");
    bool extended = false;
    for (int t = 1; t <= D64Image::kExtendedTracks; ++t)
        for (int s = 0; s < D64Image::SectorsOnTrack(t); ++s) {
            const GcrSector& sector = tracks[static_cast<size_t>(t - 1)][static_cast<size_t>(s)];
            extended = extended || (t > D64Image::kTracks && sector.found);
            if (t > image->trackCount()) continue;
            const uint8_t* block = image->SectorPointer(t, s);
            Check(block != nullptr, "a sector of the image is absent");
            const std::array<uint8_t, 256> expected = [&] {
                std::array<uint8_t, 256> bytes{};
                if (sector.found)
                    bytes = sector.data;
                else
                    bytes.fill(fill);
                return bytes;
            }();
            Check(std::equal(expected.begin(), expected.end(), block),
                  "a sector holds other bytes than the decoder read");
        }
    Check(extended == forty, "forty tracks without a sector past 35, or the other way round");
    sink = sink + ListDirectory(*image, ListingForm::Ascii, false).size();
    sink = sink + static_cast<size_t>(image->FreeBlockCount());
    return 0;
}
