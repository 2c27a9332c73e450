// The settings store: what a save leaves in the store, and what a load makes of what it finds.

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "text/Settings.h"
#include "ui/SettingsStore.h"

using namespace tessarind;

namespace {

QByteArray Bytes(int size, char fill) {
    return QByteArray(size, fill);
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int files_ = 0;

    // A store file of its own for each case.
    QString NewStore() { return dir_.filePath(QStringLiteral("store%1.ini").arg(files_++)); }

    Settings Loaded(const QString& path) {
        Settings settings;
        SettingsStore(path).Load(settings);
        return settings;
    }

private slots:
    void missingStoreGivesEveryDefault() {
        Settings settings = Loaded(NewStore());
        for (const SettingRow& row : SettingsTable)
            QCOMPARE(settings.Get(row.id), row.defaultValue);
        QCOMPARE(settings.emulators[0].name, std::string("VICE"));
        QCOMPARE(settings.emulators[1].program, std::string("css.exe"));
        QCOMPARE(settings.emulators[2].arguments, std::string("-autoload %d %i"));
        QVERIFY(settings.emulators[3].name.empty());
        QCOMPARE(settings.substitutions.size(), size_t{1});
        QCOMPARE(settings.substitutions[0].code, uint8_t{0x2F});
        QCOMPARE(settings.substitutions[0].text, std::string(" - "));
        QCOMPARE(settings.separators.size(), size_t{8});
        QCOMPARE(settings.separators[1][3], uint8_t{0x66});
        QCOMPARE(settings.separators[2][3], uint8_t{0xB0});
        QCOMPARE(settings.separators[2][18], uint8_t{0xAE});
        for (const std::string& slot : settings.fileMru)
            QVERIFY(slot.empty());
    }

    void freshProfileKeepsNoTableValueAfterSave() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        SettingsStore(path).Save(settings);
        QSettings store(path, QSettings::IniFormat);
        for (const SettingRow& row : SettingsTable)
            QVERIFY2(!store.contains(QString::fromLatin1(row.valueName)), row.valueName);
        // Empty emulator texts are removed rather than written empty.
        QVERIFY(store.contains(QStringLiteral("RunName1")));
        QVERIFY(!store.contains(QStringLiteral("RunName4")));
        QVERIFY(!store.contains(QStringLiteral("RunArguments8")));
    }

    void valueBackAtItsDefaultIsDeleted() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        settings.Set(SettingId::FillByte, 7);
        settings.Set(SettingId::SameInstance, 0);
        SettingsStore(path).Save(settings);
        {
            QSettings store(path, QSettings::IniFormat);
            QCOMPARE(store.value(QStringLiteral("Fill Byte")).toInt(), 7);
            QCOMPARE(store.value(QStringLiteral("Same Instance")).toInt(), 0);
        }
        Settings again = Loaded(path);
        QCOMPARE(again.Get(SettingId::FillByte), 7u);
        QVERIFY(!again.On(SettingId::SameInstance));
        again.Set(SettingId::FillByte, 0);
        SettingsStore(path).Save(again);
        QSettings store(path, QSettings::IniFormat);
        QVERIFY(!store.contains(QStringLiteral("Fill Byte")));
        QVERIFY(store.contains(QStringLiteral("Same Instance")));
    }

    void numbersReadFromTextOrUpToFourBytes() {
        QString path = NewStore();
        {
            QSettings store(path, QSettings::IniFormat);
            store.setValue(QStringLiteral("Custom Interleave"), QByteArray("\x05\x01", 2));
            store.setValue(QStringLiteral("WindowDX"), QByteArray("\x01\x02\x03\x04\x05", 5));
            store.setValue(QStringLiteral("WindowX"), QStringLiteral("-20"));
            store.setValue(QStringLiteral("WindowY"), QStringLiteral("not a number"));
        }
        Settings settings = Loaded(path);
        QCOMPARE(settings.Get(SettingId::CustomInterleave), 0x105u);
        QCOMPARE(settings.Get(SettingId::WindowDX), 1024u); // larger than 4 bytes: the default
        QCOMPARE(static_cast<int32_t>(settings.Get(SettingId::WindowX)), -20);
        QCOMPARE(settings.Get(SettingId::WindowY), 100u);
    }

    void textsRoundTrip() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        settings.location = "/home/user/disks";
        settings.emulators[4] = {"X128", "/usr/bin/x128", "%d"};
        settings.emulators[0].name.clear();
        SettingsStore(path).Save(settings);
        Settings again = Loaded(path);
        QCOMPARE(again.location, settings.location);
        QCOMPARE(again.emulators[4].program, std::string("/usr/bin/x128"));
        // An emptied text is deleted, so the built-in default comes back.
        QCOMPARE(again.emulators[0].name, std::string("VICE"));
    }

    void recentSlotsCloseUpWhenSaved() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        settings.fileMru[0] = "/a.d64";
        settings.fileMru[2] = "/c.d64";
        settings.fileMru[5] = "/f.d64";
        settings.dirMru[3] = "/folder";
        SettingsStore(path).Save(settings);
        QSettings store(path, QSettings::IniFormat);
        store.beginGroup(QStringLiteral("FileMRU"));
        QCOMPARE(store.value(QStringLiteral("MRU0")).toString(), QStringLiteral("/a.d64"));
        QCOMPARE(store.value(QStringLiteral("MRU1")).toString(), QStringLiteral("/c.d64"));
        QCOMPARE(store.value(QStringLiteral("MRU2")).toString(), QStringLiteral("/f.d64"));
        QVERIFY(!store.contains(QStringLiteral("MRU3")));
        QVERIFY(!store.contains(QStringLiteral("MRU5")));
        store.endGroup();
        store.beginGroup(QStringLiteral("DirMRU"));
        QCOMPARE(store.value(QStringLiteral("MRU0")).toString(), QStringLiteral("/folder"));
        store.endGroup();
    }

    void recentNumbersBeyondTheSlotsAreIgnored() {
        QString path = NewStore();
        {
            QSettings store(path, QSettings::IniFormat);
            store.setValue(QStringLiteral("FileMRU/MRU8"), QStringLiteral("/eight.d64"));
            store.setValue(QStringLiteral("FileMRU/MRU9"), QStringLiteral("/nine.d64"));
            store.setValue(QStringLiteral("DirMRU/MRU9"), QStringLiteral("/nine"));
            store.setValue(QStringLiteral("DirMRU/MRU10"), QStringLiteral("/ten"));
        }
        Settings settings = Loaded(path);
        QCOMPARE(settings.fileMru[8], std::string("/eight.d64"));
        for (const std::string& slot : settings.fileMru)
            QVERIFY(slot != "/nine.d64");
        QCOMPARE(settings.dirMru[9], std::string("/nine"));
        for (const std::string& slot : settings.dirMru)
            QVERIFY(slot != "/ten");
    }

    void withoutDirListTheLocationIsItsFirstSlot() {
        QString path = NewStore();
        {
            QSettings store(path, QSettings::IniFormat);
            store.setValue(QStringLiteral("Location"), QStringLiteral("/disks"));
        }
        QCOMPARE(Loaded(path).dirMru[0], std::string("/disks"));
        {
            QSettings store(path, QSettings::IniFormat);
            store.setValue(QStringLiteral("DirMRU/MRU1"), QStringLiteral("/other"));
        }
        Settings settings = Loaded(path);
        QVERIFY(settings.dirMru[0].empty());
        QCOMPARE(settings.dirMru[1], std::string("/other"));
    }

    void separatorsMustBeBinaryOfThirtyBytes() {
        QString path = NewStore();
        {
            QSettings store(path, QSettings::IniFormat);
            store.beginGroup(QStringLiteral("Separators"));
            store.setValue(QStringLiteral("Separator0"), Bytes(29, 'a'));
            store.setValue(QStringLiteral("Separator5"), Bytes(30, 'b'));
            store.setValue(QStringLiteral("Separator2"), Bytes(30, 'c'));
            store.setValue(QStringLiteral("Separator3"), Bytes(31, 'd'));
            store.setValue(QStringLiteral("Separator4"), QString(30, QLatin1Char('e')));
            store.setValue(QStringLiteral("Other1"), Bytes(30, 'f'));
            store.endGroup();
        }
        Settings settings = Loaded(path);
        // Only the two of 30 bytes, in the order of their numbers.
        QCOMPARE(settings.separators.size(), size_t{2});
        QCOMPARE(settings.separators[0][0], uint8_t{'c'});
        QCOMPARE(settings.separators[1][29], uint8_t{'b'});
    }

    void separatorsSaveInListOrderAndReadBack() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        settings.separators.resize(2);
        settings.separators[0].fill(0x11);
        settings.separators[1].fill(0x22);
        SettingsStore(path).Save(settings);
        Settings again = Loaded(path);
        QCOMPARE(again.separators, settings.separators);
        // An emptied list stays empty instead of bringing the built-in ones back.
        again.separators.clear();
        SettingsStore(path).Save(again);
        QVERIFY(Loaded(path).separators.empty());
    }

    // A save writes only values that hold something, and what it leaves reads back as it was
    // saved; a store from before, with empty values, still reads.
    void saveWritesNoEmptyValuesAndReadsBack() {
        struct Case {
            const char* what;
            std::function<void(Settings&)> change;
        };
        const Case cases[] = {
            {"fresh", [](Settings&) {}},
            {"location only", [](Settings& s) { s.location = "/disks"; }},
            {"all lists empty",
             [](Settings& s) {
                 s.location = "/disks";
                 s.separators.clear();
                 s.substitutions.clear();
                 for (std::string& slot : s.dirMru)
                     slot.clear();
             }},
            {"lists filled",
             [](Settings& s) {
                 s.fileMru[1] = "/b.d64";
                 s.dirMru[0] = "/folder";
                 s.emulators[3] = {"X128", "x128", ""};
             }},
        };
        for (const Case& c : cases) {
            const QString path = NewStore();
            Settings settings = Loaded(path);
            c.change(settings);
            SettingsStore(path).Save(settings);
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                for (const QByteArray& line : file.readAll().split('\n'))
                    QVERIFY2(!line.endsWith('='),
                             (std::string(c.what) + ": " + line.toStdString()).c_str());
            }
            Settings again = Loaded(path);
            QCOMPARE(again.location, settings.location);
            // Recent slots close up when saved.
            auto filled = [](const auto& list) {
                std::vector<std::string> paths;
                for (const std::string& slot : list)
                    if (!slot.empty()) paths.push_back(slot);
                return paths;
            };
            QCOMPARE(filled(again.fileMru), filled(settings.fileMru));
            QCOMPARE(filled(again.dirMru), filled(settings.dirMru));
            QCOMPARE(again.separators, settings.separators);
            QCOMPARE(again.substitutions.size(), settings.substitutions.size());
            QCOMPARE(again.emulators[3].name, settings.emulators[3].name);
        }
        // The empty values an earlier save wrote still read as empty lists and texts.
        const QString path = NewStore();
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[General]\nLocation=\n[DirMRU]\nCount=\n[FileMRU]\nCount=\n"
                       "[Separators]\nCount=\n[Substitutions]\n00=\n");
        }
        Settings old = Loaded(path);
        QVERIFY(old.location.empty());
        for (const std::string& slot : old.dirMru)
            QVERIFY(slot.empty());
        QVERIFY(old.separators.empty());
        QVERIFY(old.substitutions.empty());
    }

    void substitutionCodesAreHexadecimalAndNeverZero() {
        QString path = NewStore();
        {
            QSettings store(path, QSettings::IniFormat);
            store.beginGroup(QStringLiteral("Substitutions"));
            store.setValue(QStringLiteral("00"), QStringLiteral("zero"));
            store.setValue(QStringLiteral("5c"), QStringLiteral("pound"));
            store.setValue(QStringLiteral("2a"), QStringLiteral("star"));
            store.endGroup();
        }
        Settings settings = Loaded(path);
        // The "/" default is gone while the group exists.
        QCOMPARE(settings.substitutions.size(), size_t{2});
        QCOMPARE(settings.substitutions[0].code, uint8_t{0x2A});
        QCOMPARE(settings.substitutions[0].text, std::string("star"));
        QCOMPARE(settings.substitutions[1].code, uint8_t{0x5C});
    }

    void substitutionsSaveAsTwoHexDigits() {
        QString path = NewStore();
        Settings settings = Loaded(path);
        settings.substitutions = {{0x0A, "nl"}, {0xC1, "A"}};
        SettingsStore(path).Save(settings);
        {
            QSettings store(path, QSettings::IniFormat);
            QCOMPARE(store.value(QStringLiteral("Substitutions/0a")).toString(),
                     QStringLiteral("nl"));
            QCOMPARE(store.value(QStringLiteral("Substitutions/c1")).toString(),
                     QStringLiteral("A"));
            QVERIFY(!store.contains(QStringLiteral("Substitutions/2f")));
        }
        settings.substitutions.clear();
        SettingsStore(path).Save(settings);
        QVERIFY(Loaded(path).substitutions.empty());
    }
};

QTEST_GUILESS_MAIN(SettingsStoreTest)
#include "SettingsStoreTest.moc"
