#include "archives/UnpackArchive.h"

#include <algorithm>

#include "archives/Arc.h"
#include "archives/Ark.h"
#include "archives/Geos.h"
#include "archives/Lha.h"
#include "archives/Lynx.h"
#include "formats/D64Image.h"
#include "formats/D81Image.h"
#include "model/FormatRegistry.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

struct ReaderRow {
    int kindId;
    ArchiveReader reader;
};

// The archive kinds that can be unpacked.
constexpr ReaderRow kReaders[] = {
    {FormatId::Sda, UnpackSda}, {FormatId::Arc, UnpackArc}, {FormatId::Lha, UnpackLha},
    {FormatId::Lynx, UnpackLynx}, {FormatId::Sfx, UnpackSfx}, {FormatId::Ark, UnpackArk},
    {FormatId::Cvt, UnpackConvert}, {FormatId::Wr3, UnpackWraptor},
};

// A 35-track 1541 image: an archive at least this long cannot fit on one.
constexpr std::size_t kLargeArchive = 683 * 256;
constexpr std::size_t kMaxNameLength = 1024;
constexpr std::size_t kDiskNameLength = 15;

} // namespace

ArchiveReader ArchiveReaderFor(int kindId) {
    for (const ReaderRow& row : kReaders)
        if (row.kindId == kindId) return row.reader;
    return nullptr;
}

std::string ArchiveImageName(const std::string& hostPath) {
    std::string name = DiskImage::FileNamePart(hostPath).substr(0, kMaxNameLength);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::unique_ptr<DiskImage> UnpackArchive(std::span<const uint8_t> bytes,
                                         const std::string& hostPath, int kindId,
                                         Interaction* owner, bool interactive, Settings* settings) {
    const ArchiveReader reader = ArchiveReaderFor(kindId);
    if (!reader) return nullptr;
    const bool large = bytes.size() >= kLargeArchive ||
                       (settings && settings->Get(SettingId::DecompressTo81) != 0);
    std::unique_ptr<DiskImage> image;
    if (large)
        image = std::make_unique<D81Image>(settings);
    else
        image = std::make_unique<D64Image>(settings);

    const std::string name = ArchiveImageName(hostPath);
    if (!image->Open(owner, name.empty() ? std::string("New Disk") : name, false, true))
        return nullptr;
    {
        DiskImage::SuspendRecording quiet(*image);
        // The disk name is the image's name as a CBM name: the case of its letters swapped,
        // bytes outside ASCII dropped.
        const std::string cbmName =
            PetsciiToAscii(std::span(reinterpret_cast<const uint8_t*>(name.data()), name.size()),
                           false, false, false, image->settings());
        std::span<uint8_t> diskName = image->DiskName();
        std::fill(diskName.begin(), diskName.end(), kPad);
        std::copy_n(cbmName.begin(), std::min({cbmName.size(), kDiskNameLength, diskName.size()}),
                    diskName.begin());

        if (!reader(*image, bytes, interactive, owner)) {
            if (kindId != FormatId::Lynx) return nullptr;
            if (interactive)
                ReportError(owner, "Unable to complete DeLynx, some files may be corrupt.");
        }
    }
    image->ClearJournal();
    image->SetFlag(kFlagUntitled, true);
    image->Refresh();
    image->SetModified(true);
    return image;
}

} // namespace tessarind
