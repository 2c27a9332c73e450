#include "support/TapeBuilder.h"

#include "support/ImageBuilder.h"

namespace tessarind::testing {

std::vector<uint8_t> TapeFile::FileData() const {
    std::vector<uint8_t> data = {static_cast<uint8_t>(load & 0xFF),
                                 static_cast<uint8_t>(load >> 8)};
    data.insert(data.end(), bytes.begin(), bytes.end());
    return data;
}

std::unique_ptr<T64Image> NewTape(Settings* settings) {
    auto tape = std::make_unique<T64Image>(settings);
    if (!tape->Open(nullptr, "", false, true)) return nullptr;
    return tape;
}

bool AppendTapeFile(T64Image& tape, const TapeFile& file, int position) {
    return tape.WriteFileData(RawName(file.name), position < 0 ? tape.CountEntries() : position,
                              false, file.FileData(), 0, *FindRowById(file.kind));
}

std::vector<std::string> TapeNames(T64Image& tape) {
    std::vector<std::string> names;
    for (int i = 0, n = tape.CountEntries(); i < n; ++i) {
        const uint8_t* slot = tape.SlotPointer(*tape.ListedSlot(i));
        if (slot[0] == 0) {
            names.push_back("(free)");
            continue;
        }
        std::string name(reinterpret_cast<const char*>(slot + 16), 16);
        name.erase(name.find_last_not_of(' ') + 1);
        names.push_back(name);
    }
    return names;
}

std::vector<uint8_t> TapeBytesOf(const T64Image& tape) {
    std::span<const uint8_t> bytes = tape.TapeBytes();
    return {bytes.begin(), bytes.end()};
}

} // namespace tessarind::testing
