#include "ui/SettingsStore.h"

#include <QByteArray>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <map>
#include <optional>

namespace tessarind {

namespace {

constexpr int kSeparatorBytes = 30;
constexpr int kMaxLocation = 1024;
constexpr int kMaxRunText = 1023;

const char* const kSeparators = "Separators";
const char* const kFileMru = "FileMRU";
const char* const kDirMru = "DirMRU";
const char* const kSubstitutions = "Substitutions";

// The leading decimal number of a text, as the C library reads it: 0 without a digit.
long LeadingNumber(const QString& text) {
    bool negative = false;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    long value = 0;
    for (; i < text.size() && text[i].isDigit() && value < 100000000; ++i)
        value = value * 10 + text[i].digitValue();
    return negative ? -value : value;
}

// A value name read as a hexadecimal number, as far as it reads.
unsigned long LeadingHex(const QString& text) {
    unsigned long value = 0;
    for (QChar c : text) {
        int digit = c.isDigit() ? c.digitValue()
                    : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                        ? c.toLower().unicode() - 'a' + 10
                        : -1;
        if (digit < 0 || value > 0xFFFFFF) break;
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
}

// A numeric setting as stored: a 32-bit number (text in an INI file, an integer in the
// registry) or at most four bytes of binary data. None when it cannot be read as one.
std::optional<uint32_t> ReadNumber(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray) {
        QByteArray bytes = value.toByteArray();
        if (bytes.size() > 4) return std::nullopt;
        uint32_t number = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i)
            number |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
        return number;
    }
    bool ok = false;
    qlonglong number = value.toLongLong(&ok);
    if (!ok) return std::nullopt;
    return static_cast<uint32_t>(number);
}

std::string ReadText(const QVariant& value, int maxBytes) {
    QByteArray bytes =
        value.typeId() == QMetaType::QByteArray ? value.toByteArray() : value.toString().toUtf8();
    return bytes.left(maxBytes).toStdString();
}

QString RunKey(const char* name, int entry) {
    return QString::fromLatin1(name) + QString::number(entry);
}

// Writes a group afresh, with the values that exist. A group without values vanishes from an
// INI file and reads as missing; where missing means something else than empty (defaults
// come back), `keepEmpty` writes `marker` = 0, under a name the reader skips.
template <class Fill>
void RewriteGroup(QSettings& store, const char* group, const char* marker, bool keepEmpty,
                  Fill fill) {
    store.remove(QString::fromLatin1(group));
    store.beginGroup(QString::fromLatin1(group));
    if (!fill() && keepEmpty) store.setValue(QString::fromLatin1(marker), 0);
    store.endGroup();
}

} // namespace

std::unique_ptr<QSettings> SettingsStore::Open() const {
    auto store = iniPath_.isEmpty() ? std::make_unique<QSettings>(QStringLiteral("Qorbe"),
                                                                  QStringLiteral("Tessarind"))
                                    : std::make_unique<QSettings>(iniPath_, QSettings::IniFormat);
    // Only the user's own values count; no system-wide or organisation-wide fallbacks.
    store->setFallbacksEnabled(false);
    return store;
}

void SettingsStore::Load(Settings& settings) const {
    std::unique_ptr<QSettings> store = Open();
    Load(*store, settings);
}

void SettingsStore::Save(const Settings& settings) const {
    std::unique_ptr<QSettings> store = Open();
    Save(*store, settings);
    store->sync();
}

std::vector<std::array<uint8_t, 30>> SettingsStore::BuiltInSeparators() {
    auto name = [](std::initializer_list<uint8_t> first, uint8_t fill,
                   std::initializer_list<uint8_t> last) {
        std::array<uint8_t, 30> body{};
        body[0] = 0x80; // a closed DEL entry at track 0, sector 0
        size_t i = 3;
        for (uint8_t b : first)
            body[i++] = b;
        while (i < 3 + 16 - last.size())
            body[i++] = fill;
        for (uint8_t b : last)
            body[i++] = b;
        return body;
    };
    std::vector<std::array<uint8_t, 30>> list;
    list.push_back(name({}, 0xC0, {}));
    std::array<uint8_t, 30> wave{};
    wave[0] = 0x80;
    const uint8_t waveName[16] = {0x66, 0x72, 0xAF, 0x72, 0x66, 0xC0, 0x64, 0x65,
                                  0x65, 0x64, 0x60, 0x66, 0x72, 0xAF, 0x72, 0x66};
    std::copy(std::begin(waveName), std::end(waveName), wave.begin() + 3);
    list.push_back(wave);
    list.push_back(name({0xB0}, 0xC0, {0xAE}));
    list.push_back(name({0xDD}, 0x20, {0xDD}));
    list.push_back(name({0xAB}, 0xC0, {0xB3}));
    list.push_back(name({0xED}, 0xC0, {0xFD}));
    list.push_back(name({0x75}, 0xC0, {0x69}));
    list.push_back(name({0x6A}, 0xC0, {0x6B}));
    return list;
}

void SettingsStore::Load(QSettings& store, Settings& settings) {
    const QStringList rootKeys = store.childKeys();
    const QStringList groups = store.childGroups();
    const bool keyExists = !rootKeys.isEmpty() || !groups.isEmpty();

    for (const SettingRow& row : SettingsTable) {
        uint32_t value = row.defaultValue;
        QString name = QString::fromLatin1(row.valueName);
        if (keyExists && store.contains(name)) {
            if (std::optional<uint32_t> stored = ReadNumber(store.value(name))) value = *stored;
        }
        settings.Set(row.id, value);
    }

    if (keyExists) {
        if (store.contains(QStringLiteral("Location")))
            settings.location = ReadText(store.value(QStringLiteral("Location")), kMaxLocation);
        for (int n = 1; n <= Settings::kEmulatorCount; ++n) {
            EmulatorEntry& entry = settings.emulators[static_cast<size_t>(n - 1)];
            for (auto [name, field] :
                 {std::pair{"RunName", &entry.name}, std::pair{"RunEmulator", &entry.program},
                  std::pair{"RunArguments", &entry.arguments}}) {
                QString key = RunKey(name, n);
                if (store.contains(key)) *field = ReadText(store.value(key), kMaxRunText);
            }
        }
    }

    // Separators: binary values of exactly 30 bytes named "Separator<n>", in number order.
    settings.separators.clear();
    if (groups.contains(QString::fromLatin1(kSeparators))) {
        store.beginGroup(QString::fromLatin1(kSeparators));
        std::multimap<long, std::array<uint8_t, 30>> ordered;
        for (const QString& key : store.childKeys()) {
            if (!key.startsWith(QStringLiteral("Separator"), Qt::CaseInsensitive)) continue;
            QVariant value = store.value(key);
            if (value.typeId() != QMetaType::QByteArray) continue;
            QByteArray bytes = value.toByteArray();
            if (bytes.size() != kSeparatorBytes) continue;
            std::array<uint8_t, 30> body{};
            std::copy(bytes.begin(), bytes.end(), body.begin());
            ordered.emplace(LeadingNumber(key.mid(9)), body);
        }
        store.endGroup();
        for (const auto& [number, body] : ordered)
            settings.separators.push_back(body);
    } else {
        settings.separators = BuiltInSeparators();
    }

    // The two recent lists: "MRU<n>" text values whose number is below the slot count.
    auto loadMru = [&](const char* group, auto& list) {
        for (std::string& slot : list)
            slot.clear();
        if (!groups.contains(QString::fromLatin1(group))) return false;
        store.beginGroup(QString::fromLatin1(group));
        for (const QString& key : store.childKeys()) {
            if (!key.startsWith(QStringLiteral("MRU"), Qt::CaseInsensitive)) continue;
            QVariant value = store.value(key);
            if (value.typeId() == QMetaType::QByteArray) continue;
            long number = LeadingNumber(key.mid(3));
            if (number < 0 || number >= static_cast<long>(list.size())) continue;
            list[static_cast<size_t>(number)] = ReadText(value, kMaxLocation);
        }
        store.endGroup();
        return true;
    };
    loadMru(kFileMru, settings.fileMru);
    if (!loadMru(kDirMru, settings.dirMru)) settings.dirMru[0] = settings.location;

    // Substitutions: value names are PETSCII codes in hexadecimal; code 0 is never one.
    if (groups.contains(QString::fromLatin1(kSubstitutions))) {
        settings.substitutions.clear();
        store.beginGroup(QString::fromLatin1(kSubstitutions));
        for (const QString& key : store.childKeys()) {
            unsigned long code = LeadingHex(key);
            if (code == 0 || code > 0xFF) continue;
            if (settings.FindSubstitution(static_cast<uint8_t>(code))) continue;
            Substitution entry{static_cast<uint8_t>(code), ReadText(store.value(key), kMaxRunText)};
            auto at = std::lower_bound(settings.substitutions.begin(), settings.substitutions.end(),
                                       entry.code,
                                       [](const Substitution& s, uint8_t c) { return s.code < c; });
            settings.substitutions.insert(at, std::move(entry));
        }
        store.endGroup();
    } else {
        settings.substitutions = {{0x2F, " - "}};
    }
}

void SettingsStore::Save(QSettings& store, const Settings& settings) {
    if (settings.location.empty())
        store.remove(QStringLiteral("Location"));
    else
        store.setValue(QStringLiteral("Location"), QString::fromStdString(settings.location));
    for (const SettingRow& row : SettingsTable) {
        QString name = QString::fromLatin1(row.valueName);
        uint32_t value = settings.Get(row.id);
        if (value == row.defaultValue)
            store.remove(name);
        else
            store.setValue(name, static_cast<qint32>(value));
    }
    for (int n = 1; n <= Settings::kEmulatorCount; ++n) {
        const EmulatorEntry& entry = settings.emulators[static_cast<size_t>(n - 1)];
        for (auto [name, field] :
             {std::pair{"RunName", &entry.name}, std::pair{"RunEmulator", &entry.program},
              std::pair{"RunArguments", &entry.arguments}}) {
            QString key = RunKey(name, n);
            if (field->empty())
                store.remove(key);
            else
                store.setValue(key, QString::fromStdString(*field));
        }
    }
    RewriteGroup(store, kSeparators, "Count", true, [&] {
        int n = 0;
        for (const auto& body : settings.separators)
            store.setValue(QStringLiteral("Separator%1").arg(n++),
                           QByteArray(reinterpret_cast<const char*>(body.data()), kSeparatorBytes));
        return n > 0;
    });
    auto saveMru = [&](const auto& list) {
        int n = 0;
        for (const std::string& path : list)
            if (!path.empty())
                store.setValue(QStringLiteral("MRU%1").arg(n++), QString::fromStdString(path));
        return n > 0;
    };
    // A missing FileMRU is as empty as an empty one; a missing DirMRU starts with "Location".
    RewriteGroup(store, kFileMru, "Count", false, [&] { return saveMru(settings.fileMru); });
    RewriteGroup(store, kDirMru, "Count", !settings.location.empty(),
                 [&] { return saveMru(settings.dirMru); });
    RewriteGroup(store, kSubstitutions, "00", true, [&] {
        for (const Substitution& s : settings.substitutions) {
            if (s.code == 0) continue;
            store.setValue(QStringLiteral("%1").arg(s.code, 2, 16, QLatin1Char('0')),
                           QString::fromStdString(s.text));
        }
        return std::any_of(settings.substitutions.begin(), settings.substitutions.end(),
                           [](const Substitution& s) { return s.code != 0; });
    });
}

} // namespace tessarind
