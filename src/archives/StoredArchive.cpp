#include "archives/StoredArchive.h"

#include <algorithm>
#include <array>

#include "archives/UnpackArchive.h"
#include "archives/Zipcode.h"
#include "model/DiskImage.h"
#include "model/FormatRegistry.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

// The name bytes up to the first shifted space.
std::span<const uint8_t> CutName(DirEntry entry) {
    std::span<const uint8_t> name = entry.name();
    return name.first(
        static_cast<std::size_t>(std::find(name.begin(), name.end(), kPad) - name.begin()));
}

// The CBM name as the host writes it.
std::string HostName(std::span<const uint8_t> name, const Settings& settings) {
    return PetsciiToAscii(name, false, false, false, settings);
}

// The list index of the file named exactly `name` (cut at its padding); -1 when none.
int FindByName(DiskImage& image, std::span<const uint8_t> name) {
    for (int i = 0; i < image.entryCount(); ++i) {
        DirEntry entry = image.EntryAt(i);
        if (!entry) continue;
        std::span<const uint8_t> other = CutName(entry);
        if (std::equal(other.begin(), other.end(), name.begin(), name.end())) return i;
    }
    return -1;
}

} // namespace

std::unique_ptr<DiskImage> OpenStoredArchive(DiskImage& image, int index, Interaction* owner,
                                             Settings* settings) {
    if (index < 0 || index >= image.entryCount()) return nullptr;
    DirEntry entry = image.EntryAt(index);
    if (!entry) return nullptr;
    const std::span<const uint8_t> cut = CutName(entry);
    const std::vector<uint8_t> name(cut.begin(), cut.end());
    const std::string hostName = HostName(name, image.settings());

    if (name.size() >= 2 && name[1] == '!' && name[0] >= '1' && name[0] <= '5') {
        ZipcodeSource source{[&](int part) -> std::optional<std::vector<uint8_t>> {
                                 std::vector<uint8_t> partName = name;
                                 partName[0] = static_cast<uint8_t>('0' + part);
                                 const int at = FindByName(image, partName);
                                 if (at < 0) return std::nullopt;
                                 return image.ReadFileData(at);
                             },
                             [&](int part) {
                                 std::string partName = hostName;
                                 partName[0] = static_cast<char>('0' + part);
                                 return partName;
                             }};
        return BuildZipcodeSet(source, ZipcodeSetName(hostName), owner, true, settings);
    }

    const FormatRow* row = FindRowForPath(hostName);
    if (!row || !(row->flags & kFormatArchive)) return nullptr;
    std::optional<std::vector<uint8_t>> data = image.ReadFileData(index);
    if (!data) return nullptr;
    return UnpackArchive(*data, hostName, row->id, owner, true, settings);
}

} // namespace tessarind
