#pragma once
// Zipcode sets: a 1541 disk packed sector by sector into the host files 1!NAME to 4!NAME, and
// 5!NAME for the tracks past 35.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarind {

class DiskImage;
class Interaction;
class Settings;

inline constexpr int kZipcodeParts = 5;

// Where the parts of a set come from: the bytes of part 1-5 (none when it cannot be read)
// and the name a message gives it.
struct ZipcodeSource {
    std::function<std::optional<std::vector<uint8_t>>(int part)> read;
    std::function<std::string(int part)> name;
};

// The part number of a file name "1!NAME" to "5!NAME"; 0 for other names.
int ZipcodePartNumber(std::string_view fileName);

// The name of the set a part's file name belongs to: without the part number and its "!",
// at most 16 characters, cut at the last ".".
std::string ZipcodeSetName(std::string_view fileName);

// Writes the sector records of one part into `image`; false when the file is no Zipcode part
// (its load address is neither the first part's nor another's).
bool DecodeZipcodePart(DiskImage& image, std::span<const uint8_t> part);

// Rebuilds the disk of a set into a new 1541 image titled `name`, untitled and marked
// modified. Parts 5 to 1 are read in turn: a fifth part makes a 40-track image; a missing one
// of parts 1-4 leaves its sectors as formatted, told through `owner` when interactive.
std::unique_ptr<DiskImage> BuildZipcodeSet(const ZipcodeSource& source, const std::string& name,
                                           Interaction* owner, bool interactive,
                                           Settings* settings);

// The set that the host file `hostPath` (any of its parts) belongs to.
std::unique_ptr<DiskImage> OpenZipcodeSet(Interaction* owner, const std::string& hostPath,
                                          bool interactive, Settings* settings);

} // namespace tessarind
