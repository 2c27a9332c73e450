#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessarind {

enum class WriteResult { Ok, CannotCreate, WriteFailed };

// Writes a whole file through a temporary file beside the target, flushed and then renamed
// over the target, so a failed or interrupted write never destroys the previous file.
WriteResult WriteWholeFile(const std::string& target, std::span<const uint8_t> bytes);
// The same for a file made of pieces, written one after the other.
WriteResult WriteWholeFile(const std::string& target, std::span<const std::span<const uint8_t>> pieces);

// Reads a whole regular file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, bool& openFailed);

} // namespace tessarind
