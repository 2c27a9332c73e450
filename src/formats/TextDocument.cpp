#include "formats/TextDocument.h"

#include <algorithm>
#include <cstring>

#include "model/FormatRegistry.h"
#include "model/SafeFile.h"
#include "text/Petscii.h"

namespace tessarind {

namespace {

constexpr size_t kPc64HeaderSize = 26;
constexpr char kPc64Signature[8] = {'C', '6', '4', 'F', 'i', 'l', 'e', '\0'};

bool HasPc64Signature(std::span<const uint8_t> data) {
    return data.size() >= kPc64HeaderSize &&
           std::equal(std::begin(kPc64Signature), std::end(kPc64Signature), data.begin());
}

} // namespace

TextDocument::TextDocument(int formatId, Settings* settings) : DiskImage(formatId, settings) {
    maxFileType_ = 0;
}

std::vector<uint8_t> TextDocument::HostTextToPetscii(std::span<const uint8_t> host) {
    std::vector<uint8_t> text;
    text.reserve(host.size());
    for (size_t i = 0; i < host.size(); ++i) {
        // A carriage return before a line feed is one line end, not two.
        if (host[i] == 0x0D && i + 1 < host.size() && host[i + 1] == 0x0A) continue;
        text.push_back(host[i]);
    }
    AsciiToPetsciiName(text, false);
    return text;
}

bool TextDocument::Adopt(std::vector<uint8_t> bytes) {
    if (formatId_ == FormatId::S00) {
        // Without its signature the header is not there to remove.
        if (!HasPc64Signature(bytes)) {
            ReportSystemError(path() + ": not a PC64 file");
            return false;
        }
        bytes.erase(bytes.begin(), bytes.begin() + kPc64HeaderSize);
    } else if (formatId_ == FormatId::Text) {
        bytes = HostTextToPetscii(bytes);
    }
    Store().Assign(std::move(bytes));
    return true;
}

bool TextDocument::Open(Interaction* owner, const std::string& filePath, bool load, bool) {
    SetOwner(owner);
    if (!load) return false;
    if (!LoadFile(filePath)) return false;
    return Adopt(Store().Snapshot());
}

bool TextDocument::OpenBytes(const std::string& filePath, std::span<const uint8_t> data) {
    SetPath(filePath);
    return Adopt(std::vector<uint8_t>(data.begin(), data.end()));
}

std::array<uint8_t, kNameLength> TextDocument::CbmName() const {
    const std::string name = FileNamePart(path());
    return PetsciiName(name.substr(0, name.find('.')));
}

bool TextDocument::WriteFile(const std::string& target) {
    int error = 0;
    if (WriteWholeFile(target, Text(), &error) != WriteResult::Ok) {
        ReportSystemError("Unable to Save File " + target + ": " + std::strerror(error));
        return false;
    }
    SetModified(false);
    return true;
}

} // namespace tessarind
