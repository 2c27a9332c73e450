#pragma once
// Process-wide user settings: the numeric table with its defaults, the text values, the
// filename substitution list and the recent-file lists. Persistence lives in the desktop
// app; the core only reads these values (and records recently saved paths).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessarind {

enum class SettingId : int {
    ShowDEL = 0,
    FillByte = 1,
    UseCbmColors = 2,
    DefaultUpper = 3,
    DefaultCtrlChar = 4,
    SearchSubDir = 5,
    BatchSubDir = 6,
    SameInstance = 7,
    LargeFonts = 8,
    AddMD5Hash = 9,
    CustomInterleave = 10,
    UseCustomInterleave = 11,
    DecompressTo81 = 12,
    ConfirmSave = 16,
    WindowX = 17,
    WindowY = 18,
    WindowDX = 19,
    WindowDY = 20,
    UseBasText = 21,
    ReplaceFilenameChars = 22,
};

struct SettingRow {
    SettingId id;
    const char* valueName;
    bool binary; // queried as a binary value; otherwise as a 32-bit number
    uint32_t defaultValue;
};

inline constexpr int kSettingCount = 20;
extern const std::array<SettingRow, kSettingCount> SettingsTable;

struct Substitution {
    uint8_t code = 0;
    std::string text;
};

struct EmulatorEntry {
    std::string name;
    std::string program;
    std::string arguments;
};

class Settings {
public:
    static constexpr int kFileMruSlots = 9;
    static constexpr int kDirMruSlots = 10;
    static constexpr int kEmulatorCount = 8;
    static constexpr int kMaxPathLength = 1023;

    Settings(); // every value at its default

    uint32_t Get(SettingId id) const { return values_[static_cast<int>(id)]; }
    void Set(SettingId id, uint32_t value) { values_[static_cast<int>(id)] = value; }
    // On/off settings use only the low byte.
    bool On(SettingId id) const { return (Get(id) & 0xFF) != 0; }

    static const SettingRow* FindRow(SettingId id);
    // Defaults of a fresh profile, shared by images made without a settings object.
    static const Settings& Defaults();

    // Puts a path at the head of FileMRU, moving it up if present (compared without case).
    void AddRecentFile(const std::string& path);

    // The replacement text for a PETSCII code, or none.
    const std::string* FindSubstitution(uint8_t code) const;

    std::string location;
    std::array<EmulatorEntry, kEmulatorCount> emulators;
    std::vector<Substitution> substitutions; // ascending code order, code 0 never stored
    std::vector<std::array<uint8_t, 30>> separators;
    std::array<std::string, kFileMruSlots> fileMru;
    std::array<std::string, kDirMruSlots> dirMru;

    // Remembered between save dialogs while the program runs; not stored.
    std::string lastSaveFolder;
    bool saveIncludeSubDirectories = false;
    bool saveSelection = false;

private:
    std::array<uint32_t, 23> values_{};
};

} // namespace tessarind
