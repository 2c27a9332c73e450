#pragma once
// A SEQ, PC64 sequential or host text file opened on its own: a container without sectors or
// directory whose one view shows its text. It holds the text as PETSCII, the way its view
// shows it.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "model/DiskImage.h"
#include "text/PetsciiLayout.h"

namespace tessarind {

class TextDocument : public DiskImage {
public:
    // `formatId` names the kind the file is read as: FormatId::Seq, S00 or Text.
    explicit TextDocument(int formatId, Settings* settings = nullptr);

    // Reads the file: a PC64 file loses its 26-byte header, host text becomes PETSCII.
    bool Open(Interaction* owner, const std::string& path, bool load, bool create) override;
    // Takes bytes already read (a host file's contents) as the file would give them. A PC64
    // file without its signature is refused, told to the owner.
    bool OpenBytes(const std::string& path, std::span<const uint8_t> data);

    // How its view shows the text when it opens.
    TextSwitches openingSwitches;

    // The text as shown.
    std::span<const uint8_t> Text() const { return Store().Contents(); }
    // The file's base name up to its first ".", as a 16-byte CBM name.
    std::array<uint8_t, kNameLength> CbmName() const;

    // Host text as PETSCII: letters change case, each line end becomes a carriage return.
    static std::vector<uint8_t> HostTextToPetscii(std::span<const uint8_t> host);

    // ---- No sectors, no BAM, no directory ------------------------------------------------
    uint8_t* SectorPointer(int, int) override { return nullptr; }
    uint8_t* DiskNamePointer() override { return nullptr; }
    bool NextDirSector(int&, int& sector) override {
        sector = -1;
        return false;
    }
    bool IsBlockFree(int, int) override { return false; }
    void ToggleBlock(int, int) override {}
    void ClearBam() override {}
    bool CreateEmpty() override { return false; }
    void AfterLoad() override {}
    int GetErrorCode(int, int) override { return 0; }
    void SetErrorCode(int, int, int) override {}
    bool HandleCommand(int) override { return false; }
    void SnapshotBam() override {}
    void UpdateCommands(CommandStates&) override {}
    bool IsHeaderBlock(int, int) override { return false; }
    int FreeBlockCount() override { return 0; }
    uint8_t* AllocateBlock(int&, int&, bool) override { return nullptr; }
    int CountEntries() override { return 0; }
    void Refresh() override {}
    // The text as it is shown, written back whole.
    bool WriteFile(const std::string& path) override;

private:
    bool Adopt(std::vector<uint8_t> bytes);
};

} // namespace tessarind
