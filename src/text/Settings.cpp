#include "text/Settings.h"

#include <algorithm>

#include "text/AsciiCase.h"

namespace tessarind {

const std::array<SettingRow, kSettingCount> SettingsTable = {{
    {SettingId::ShowDEL, "ShowDEL", true, 0},
    {SettingId::ConfirmSave, "ConfirmSave", true, 1},
    {SettingId::UseCbmColors, "Use CBM Colors", true, 1},
    {SettingId::DefaultUpper, "DefaultUpper", true, 1},
    {SettingId::DefaultCtrlChar, "DefaultCtrlChar", true, 1},
    {SettingId::SearchSubDir, "SearchSubDir", true, 1},
    {SettingId::BatchSubDir, "BatchSubDir", true, 1},
    {SettingId::SameInstance, "Same Instance", true, 1},
    {SettingId::LargeFonts, "Large Fonts", true, 1},
    {SettingId::AddMD5Hash, "AddMD5Hash", true, 0},
    {SettingId::UseCustomInterleave, "Use Custom Interleave", true, 0},
    {SettingId::DecompressTo81, "Decompress To 81", true, 0},
    {SettingId::UseBasText, "Use BasText", true, 0},
    {SettingId::WindowX, "WindowX", false, 100},
    {SettingId::WindowY, "WindowY", false, 100},
    {SettingId::WindowDX, "WindowDX", false, 1024},
    {SettingId::WindowDY, "WindowDY", false, 600},
    {SettingId::FillByte, "Fill Byte", false, 0},
    {SettingId::CustomInterleave, "Custom Interleave", false, 10},
    {SettingId::ReplaceFilenameChars, "ReplaceFilenameChars", true, 1},
}};

Settings::Settings() {
    for (const SettingRow& row : SettingsTable) Set(row.id, row.defaultValue);
#ifdef _WIN32
    emulators[0] = {"VICE", "x64.exe", "%d:%f"};
#else
    // The C64 emulator of VICE is called so on Linux.
    emulators[0] = {"VICE", "x64sc", "%d:%f"};
#endif
    emulators[1] = {"CSS", "css.exe", "%d,%i -autorun"};
    emulators[2] = {"HOXS64", "hoxs64.exe", "-autoload %d %i"};
    substitutions.push_back({0x2F, " - "});
}

const SettingRow* Settings::FindRow(SettingId id) {
    for (const SettingRow& row : SettingsTable)
        if (row.id == id) return &row;
    return nullptr;
}

const Settings& Settings::Defaults() {
    static const Settings defaults;
    return defaults;
}

void Settings::AddRecentFile(const std::string& path) {
    std::string entry = path.substr(0, kMaxPathLength);
    auto found = std::find_if(fileMru.begin(), fileMru.end(),
                              [&](const std::string& slot) { return SameTextIgnoringCase(slot, entry); });
    auto last = found == fileMru.end() ? fileMru.end() - 1 : found;
    std::move_backward(fileMru.begin(), last, last + 1);
    fileMru[0] = std::move(entry);
}

const std::string* Settings::FindSubstitution(uint8_t code) const {
    for (const Substitution& s : substitutions)
        if (s.code == code) return &s.text;
    return nullptr;
}

} // namespace tessarind
