#pragma once
// A container's directory written to the host as a text or CSV listing, either into a file of
// its own or appended to an open stream (the batch tool puts many listings into one file).

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>

namespace tessarind {

class DiskImage;
class Interaction;

// What the two listing writers take besides the image.
//
// With a stream the listing is appended to it and the stream is neither opened nor closed;
// otherwise the listing goes to `path`, written safely (the previous file survives a failure).
// `ui` is null for batch and command-line work: nothing is shown then. With
// includeSubDirectories the listings of the entered CBM partitions and DIR sub-directories
// follow level by level (never for a container whose highest type code is REL). lowerCase
// selects the lower/upper-case character set for PETSCII; a container without a view lists in
// upper case.

// Line 1 the container's path, line 2 "0,disk name,ID bytes,DOS type", then one line per entry
// "blocks,name,type" with ",md5" (or ",0" when unreadable) when the "AddMD5Hash" setting is on.
// Returns true only when every line was written.
bool ExportCsv(DiskImage& image, std::FILE* stream, const std::string& path, Interaction* ui,
               bool includeSubDirectories, bool lowerCase = false);

// The container's path and "\r\n", the rendered listing of each level (levels separated by
// "\n"), then "\r\n".
bool ExportText(DiskImage& image, std::FILE* stream, const std::string& path, Interaction* ui,
                bool includeSubDirectories, bool lowerCase = false);

// Save As with a listing kind: the directory as text, CSV or bitmap, looking as the image's
// directory view shows it (upper case and the default picture without a view), failures told
// to the image's owner. None when formatId names no listing kind.
std::optional<bool> WriteSaveAsListing(DiskImage& image, int formatId, const std::string& path,
                                       bool includeSubDirectories, bool selectionOnly);

// The MD5 digest of `bytes`; false when the hash service fails.
bool Md5Digest(std::span<const uint8_t> bytes, std::array<uint8_t, 16>& digest);

} // namespace tessarind
