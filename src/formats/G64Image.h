#pragma once
// A GCR-level 1541 image: the drive's raw track data, decoded into a 1541 sector image when it
// is read. From then on it is a 1541 image; the GCR data is never written back, so it saves
// as a 1541 image under a name the user confirms.

#include <span>
#include <string>
#include <vector>

#include "formats/D64Image.h"

namespace tessarind {

class G64Image : public D64Image {
public:
    explicit G64Image(Settings* settings = nullptr);

    bool LoadFile(const std::string& path) override;
    // Takes `data` as the whole GCR file.
    bool LoadFromMemory(std::span<const uint8_t> data) override;
    void AfterLoad() override;
    std::string DefaultExtension() const override;

    // The file as it was read, kept untouched.
    std::span<const uint8_t> RawBytes() const { return raw_; }

private:
    void Decode();

    std::vector<uint8_t> raw_;
    bool rawPending_ = false; // the store holds a GCR file that AfterLoad decodes
};

} // namespace tessarind
