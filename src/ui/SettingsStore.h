#pragma once
// Reads the settings once at start and writes them once at exit, in the per-user store:
// QSettings("Qorbe", "Tessarind") with the value names of the settings table, the texts in
// the main key and the subkeys "Separators", "FileMRU", "DirMRU" and "Substitutions" as groups.

#include <QString>
#include <array>
#include <cstdint>
#include <memory>

#include "text/Settings.h"

class QSettings;

namespace tessarind {

class SettingsStore {
public:
    // The user's own store.
    SettingsStore() = default;
    // A store in an INI file of its own (tests, a second profile).
    explicit SettingsStore(QString iniPath) : iniPath_(std::move(iniPath)) {}

    void Load(Settings& settings) const;
    void Save(const Settings& settings) const;

    static void Load(QSettings& store, Settings& settings);
    static void Save(QSettings& store, const Settings& settings);

    // The separators used while the store holds no "Separators" group.
    static std::vector<std::array<uint8_t, 30>> BuiltInSeparators();

    std::unique_ptr<QSettings> Open() const;

private:
    QString iniPath_;
};

} // namespace tessarind
