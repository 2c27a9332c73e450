#pragma once
// Containers kept compressed on the host: a gzip file ("game.d64.gz") or a member of a zip
// archive, named by the archive's path followed by the member's ("disks.zip/game.d64").
// Inflating is zlib's and reading zip archives minizip's; neither is done by hand here. Every
// inflated container is held to kMaxInflatedSize, so a small file that would inflate without
// end (a compression bomb) is refused instead of filling the memory.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarind {

inline constexpr size_t kMaxInflatedSize = size_t{64} << 20;

// Whether the name ends in ".gz" (in any case).
bool IsGzipPath(std::string_view path);
// The path without its ".gz": the name whose extension says the kind inside.
std::string WithoutGzipSuffix(std::string_view path);
// Whether the name ends in ".zip" (in any case).
bool IsZipPath(std::string_view path);

// Splits "folder/disks.zip/inner/game.d64" into the archive that exists as a host file and
// the member's name inside it; false when no leading part of the path is a zip file.
bool SplitZipMemberPath(const std::string& path, std::string& archive, std::string& member);

// The bytes of a gzip stream (several members one after the other are one stream), checked
// against their CRC and length. False with the reason when the data is no gzip data, is cut
// short or damaged, or inflates past `limit`.
bool InflateGzip(std::span<const uint8_t> compressed, std::vector<uint8_t>& out,
                 std::string& reason, size_t limit = kMaxInflatedSize);
// One gzip member holding the pieces in order.
std::vector<uint8_t> DeflateGzip(std::span<const std::span<const uint8_t>> pieces);

// The names of the files a zip archive holds (folders left out), in archive order; false with
// the reason when it is no readable zip archive. The archive is a host file or, when `path`
// is empty, the bytes given.
bool ListZipMembers(const std::string& path, std::span<const uint8_t> bytes,
                    std::vector<std::string>& names, std::string& reason);
// The inflated bytes of one member, checked against its CRC; refused when it is encrypted,
// damaged or larger than `limit`.
bool ReadZipMember(const std::string& path, std::span<const uint8_t> bytes,
                   const std::string& member, std::vector<uint8_t>& out, std::string& reason,
                   size_t limit = kMaxInflatedSize);

// Reads a container's file as its format sees it: a plain file whole, a ".gz" file inflated,
// a zip member path the member's bytes. `openFailed` tells a file that could not be opened
// from one that could not be read or inflated; `reason` says why (empty for plain failures).
bool ReadHostContainer(const std::string& path, std::vector<uint8_t>& out, bool& openFailed,
                       std::string& reason);

} // namespace tessarind
