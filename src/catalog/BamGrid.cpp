#include "catalog/BamGrid.h"

#include <algorithm>
#include <cstdio>

#include "formats/D64Image.h"
#include "model/DiskImage.h"

namespace tessarind {

bool BamGrid::Exists(int track, int sector) const {
    if (track < 1 || track > image_.trackCount() || sector < 0 || sector > 255) return false;
    return image_.SectorPointer(track, sector) != nullptr;
}

int BamGrid::TrackCount() const {
    int t = 0;
    while (t < image_.trackCount() && Exists(t + 1, 0))
        ++t;
    return t;
}

int BamGrid::ColumnCount() const {
    return std::clamp(image_.maxSectors(), 0, 256);
}

void BamGrid::ScrollTo(int firstTrack, int firstColumn) {
    firstTrack_ = std::clamp(firstTrack, 1, std::max(1, TrackCount()));
    firstColumn_ = std::clamp(firstColumn, 0, std::max(0, ColumnCount() - 1));
}

std::optional<BamBlock> BamGrid::HitTest(int x, int y) const {
    if (x < kGridX || y < kGridY) return std::nullopt;
    int dx = x - kGridX, dy = y - kGridY;
    if (dx % kPitch >= kCellSize || dy % kPitch >= kCellSize) return std::nullopt;
    BamBlock block{firstTrack_ + dy / kPitch, firstColumn_ + dx / kPitch};
    if (block.track > TrackCount() || !Exists(block.track, block.sector)) return std::nullopt;
    return block;
}

std::vector<BamCell> BamGrid::VisibleCells(int width, int height) const {
    std::vector<BamCell> cells;
    const int tracks = TrackCount();
    const bool errors = (image_.flags() & kFlagErrorCodes) != 0;
    for (int t = firstTrack_, row = 0; t <= tracks; ++t, ++row) {
        int y = kGridY + row * kPitch;
        if (y >= height) break;
        for (int s = firstColumn_, col = 0; Exists(t, s); ++s, ++col) {
            int x = kGridX + col * kPitch;
            if (x >= width) break;
            BamCell cell{{t, s}, x, y, image_.IsBlockFree(t, s), std::nullopt};
            if (errors) {
                int code = image_.GetErrorCode(t, s);
                if (code > 0 && code < static_cast<int>(ErrorCodeTable.size()))
                    cell.errorNumber = ErrorCodeTable[static_cast<size_t>(code)].driveNumber;
            }
            cells.push_back(cell);
        }
    }
    return cells;
}

std::vector<std::pair<int, int>> BamGrid::ColumnLabels(int width) const {
    std::vector<std::pair<int, int>> labels;
    for (int s = firstColumn_, col = 0; s < ColumnCount(); ++s, ++col) {
        int x = kGridX + col * kPitch;
        if (x >= width) break;
        labels.emplace_back(s % 100, x);
    }
    return labels;
}

std::pair<int, int> BamGrid::OpenSize() const {
    int rows = std::min(TrackCount(), kOpenRows);
    return {kGridX + kOpenColumns * kPitch + 2, kGridY + rows * kPitch};
}

std::pair<int, int> BamGrid::LargestSize() const {
    return {kGridX + ColumnCount() * kPitch + 2, kGridY + TrackCount() * kPitch};
}

std::string BamGrid::HoverText(int track, int sector) {
    char text[48];
    std::snprintf(text, sizeof text, "Track: %02d   Sector: %02d", track, sector);
    return text;
}

std::vector<uint8_t> BamGrid::DiskName() const {
    std::vector<uint8_t> name;
    for (uint8_t c : image_.DiskName()) {
        if (c == kPad) break;
        name.push_back(c);
    }
    return name;
}

std::vector<uint8_t> BamGrid::DiskId() const {
    auto id = image_.DiskId();
    return {id.begin(), id.end()};
}

bool BamGrid::RightClickOpensMenu() const {
    return (image_.flags() & kFlagErrorCodes) != 0;
}

std::vector<BamErrorItem> BamGrid::ErrorItems(int track, int sector) const {
    const int current = Exists(track, sector) ? image_.GetErrorCode(track, sector) : -1;
    std::vector<BamErrorItem> items;
    for (size_t row = 0; row < ErrorCodeTable.size(); ++row) {
        const ErrorCodeRow& code = ErrorCodeTable[row];
        char text[64];
        std::snprintf(text, sizeof text, "%d %.*s", code.driveNumber,
                      static_cast<int>(code.name.size()), code.name.data());
        items.push_back({kFirstErrorCommand + static_cast<int>(row), text, code.code,
                         static_cast<int>(row) == current});
    }
    return items;
}

bool BamGrid::SetErrorFromCommand(int track, int sector, int commandId) {
    int row = commandId - kFirstErrorCommand;
    if (row < 0 || row >= static_cast<int>(ErrorCodeTable.size()) || !Exists(track, sector))
        return false;
    image_.SetErrorCode(track, sector, ErrorCodeTable[static_cast<size_t>(row)].code);
    image_.RedrawViews();
    return true;
}

std::string BamGrid::MarkText(int track, int sector) const {
    return image_.IsBlockFree(track, sector) ? "&Mark As Used" : "&Mark As Free";
}

} // namespace tessarind
