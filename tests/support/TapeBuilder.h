#pragma once
// Builds tapes in code: a new tape and programs appended with their load address.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/T64Image.h"
#include "model/FormatRegistry.h"

namespace tessarind::testing {

struct TapeFile {
    std::string name; // raw PETSCII bytes
    uint16_t load = 0x0801;
    std::vector<uint8_t> bytes;
    int kind = FormatId::Prg;

    // The load address (low byte first) followed by the bytes, as a program file holds them.
    std::vector<uint8_t> FileData() const;
};

std::unique_ptr<T64Image> NewTape(Settings* settings = nullptr);
// Appends a file and lists it at `position` (-1: after the others).
bool AppendTapeFile(T64Image& tape, const TapeFile& file, int position = -1);
// The listed names, trailing blanks removed; "(free)" for a free slot.
std::vector<std::string> TapeNames(T64Image& tape);
std::vector<uint8_t> TapeBytesOf(const T64Image& tape);

} // namespace tessarind::testing
