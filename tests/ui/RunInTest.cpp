// Run In: the stand-in emulator on PATH records the arguments it was started with; the
// copies of changed containers live exactly as long as the frame.

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <filesystem>

#include "UiTestSupport.h"
#include "catalog/DesktopAssociations.h"
#include "ui/CommandActions.h"
#include "ui/DirectoryView.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

// A script that appends its arguments, one per line in brackets, and "END" to `record`.
QString WriteStandIn(const QString& folder, const QString& record) {
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/standin-emu");
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write(QStringLiteral("#!/bin/sh\n{ for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; "
                                "echo END; } >> '%1'\n")
                     .arg(record)
                     .toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList Runs(const QString& record) {
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList runs = QString::fromUtf8(file.readAll()).split(QStringLiteral("END\n"));
    runs.removeLast(); // what follows the last END: nothing, or a run still writing
    return runs;
}

} // namespace

class RunInTest : public QObject {
    Q_OBJECT
private slots:
    void standInEmulatorGetsExactArgumentsAndCopiesLiveWithTheFrame() {
        auto f = std::make_unique<FrameFixture>();
        const QString record = f->Path(QStringLiteral("record.txt"));
        WriteStandIn(f->Path(QStringLiteral("bin")), record);
        qputenv("PATH", (f->Path(QStringLiteral("bin")) + QLatin1Char(':') +
                         QString::fromLocal8Bit(qgetenv("PATH")))
                            .toLocal8Bit());
        // A folder and a name with blanks: each reaches the emulator as one argument.
        const QString diskPath = f->Path(QStringLiteral("my disks/a b.d64"));
        QDir().mkpath(QFileInfo(diskPath).absolutePath());
        auto image = BlankD64("DISK");
        AddFile(*image, {"GAME", 0x82, Pattern(300)});
        QVERIFY(image->WriteFile(diskPath.toStdString()));

        f->settings.emulators[0] = {"ONE", "standin-emu", "%d:%f"};
        f->settings.emulators[2] = {"THREE", "standin-emu", "-autoload %d %i"};
        f->settings.emulators[3] = {"FOUR", "", "%d"};
        f->frame->RebuildRunInTexts();
        f->frame->OpenPath(diskPath.toStdString());
        auto* view = dynamic_cast<DirectoryView*>(f->frame->activeView());
        QVERIFY(view);
        view->SelectIndex(0);
        QVERIFY(f->frame->IsEnabled(cmd::RunIn(1)));
        QVERIFY(f->frame->IsEnabled(cmd::RunIn(3)));
        QVERIFY(!f->frame->IsEnabled(cmd::RunIn(4)));
        QCOMPARE(f->frame->actions().Get(cmd::RunIn(4))->text(), QStringLiteral("FOUR\tCTRL+4"));
        // The help page and the associations dialog are there with a view as without.
        QVERIFY(f->frame->IsEnabled(cmd::Help));
        QVERIFY(f->frame->IsEnabled(cmd::FileAssociations));

        // Saved: the container's own path. Changed: a "ts" copy per run.
        struct Run {
            int entry;
            bool changed;
        };
        const Run runs[] = {{3, false}, {1, false}, {4, false}, {1, true}, {1, true}};
        QStringList expected;
        for (const Run& run : runs) {
            if (run.changed) view->Image()->SetModified(true);
            f->frame->ExecuteCommand(cmd::RunIn(run.entry));
            const std::vector<std::string>& files = f->frame->emulatorFiles();
            if (run.entry == 3)
                expected << QStringLiteral("[-autoload]\n[%1]\n[0]\n").arg(diskPath);
            else if (run.entry == 1)
                expected << QStringLiteral("[%1:game]\n")
                                .arg(run.changed ? QString::fromStdString(files.back()) : diskPath);
            QTRY_COMPARE_WITH_TIMEOUT(Runs(record).size(), expected.size(), 20000);
        }
        QCOMPARE(Runs(record), expected);

        // Two copies, each a whole image of the changed container, kept while the frame is.
        const std::vector<std::string> copies = f->frame->emulatorFiles();
        QCOMPARE(copies.size(), size_t(2));
        for (const std::string& copy : copies) {
            QVERIFY(QFileInfo(QString::fromStdString(copy)).fileName().startsWith("ts"));
            QVERIFY(QString::fromStdString(copy).endsWith(".d64"));
            QCOMPARE(std::filesystem::file_size(copy),
                     std::filesystem::file_size(diskPath.toStdString()));
        }
        QVERIFY(view->Image()->modified());
        view->Image()->SetModified(false);
        f.reset();
        for (const std::string& copy : copies)
            QVERIFY(!std::filesystem::exists(copy));
    }

    // "-a" ends the program before any window, having written the associations under the
    // data home it was given. No xdg-mime on PATH: no kind has an owner, so all become ours.
    void dashARegistersEveryKindAndEnds() {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath(QStringLiteral("nobin")));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), dir.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("PATH"), dir.filePath(QStringLiteral("nobin")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("TESSARIND_INSTANCE_NAME"), dir.path());
        QProcess app;
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(TESSARIND_APP), {QStringLiteral("-a")});
        QVERIFY(app.waitForFinished(60000));
        QCOMPARE(app.exitCode(), 1);

        DesktopAssociations written(
            QFileInfo(QStringLiteral(TESSARIND_APP)).absoluteFilePath().toStdString(),
            dir.filePath(QStringLiteral("data")).toStdString());
        auto read = [](const std::string& path) {
            QFile file(QString::fromStdString(path));
            return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
        };
        QCOMPARE(read(written.MimePackagePath()), DesktopAssociations::MimePackage());
        const std::string entry = read(written.DesktopEntryPath());
        const std::string defaults = read(written.DefaultsListPath());
        QVERIFY2(
            entry.find("Exec=" +
                       QFileInfo(QStringLiteral(TESSARIND_APP)).absoluteFilePath().toStdString() +
                       " %f") != std::string::npos,
            entry.c_str());
        for (const AssociationKind& kind : AssociationKinds()) {
            QVERIFY2(entry.find(kind.mimeType + ";") != std::string::npos, kind.mimeType.c_str());
            QVERIFY2(defaults.find(kind.mimeType + "=tessarind.desktop\n") != std::string::npos,
                     kind.mimeType.c_str());
        }
    }
};

QTEST_MAIN(RunInTest)
#include "RunInTest.moc"
