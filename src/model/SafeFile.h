#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarind {

enum class WriteResult { Ok, CannotCreate, WriteFailed };

// Writes a whole file through a temporary file beside the target, flushed and then renamed
// over the target, so a failed or interrupted write never destroys the previous file.
// The file is written as its user sees it: a symbolic link is followed and its target
// written; a file the user may not write is refused (CannotCreate, EACCES); the new file
// keeps the old one's mode, and its owner and group where the system allows. A file with
// several hard links is written in place once every byte is ready, so the links stay one
// file. `errorNumber` (when given) receives the system's reason for a failure.
WriteResult WriteWholeFile(const std::string& target, std::span<const uint8_t> bytes,
                           int* errorNumber = nullptr);
// The same for a file made of pieces, written one after the other.
WriteResult WriteWholeFile(const std::string& target,
                           std::span<const std::span<const uint8_t>> pieces,
                           int* errorNumber = nullptr);

// The path a write of `path` reaches: symbolic links followed (relative ones from the folder
// of the link), at most 40 of them.
std::string ResolveLinks(const std::string& path);

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, bool& openFailed);

} // namespace tessarind
