// Find in Disks in the desktop app against `tessarind-cli find` over the same folder, in one
// run: for each round the command line is timed as a whole process, then the dialog from the
// Find click to its summary line. Meanwhile a 5 ms timer on the user-interface thread records
// the longest gap between its ticks: how long the event loop could not turn.
// usage: FindDialogBench TESSARIND_CLI FOLDER [PATTERN] [ROUNDS]   (offscreen platform)

#include <QAbstractItemModel>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "text/Petscii.h"
#include "ui/CbmEdit.h"
#include "ui/FindInDisksDialog.h"
#include "ui/MainFrame.h"
#include "ui/SettingsStore.h"

using namespace tessarind;

namespace {

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TESSARIND_CLI FOLDER [PATTERN] [ROUNDS]\n", argv[0]);
        return 2;
    }
    const QString cli = QString::fromLocal8Bit(argv[1]);
    const std::string folder = argv[2];
    const std::string pattern = argc > 3 ? argv[3] : "*";
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

    QTemporaryDir profile;
    Settings settings;
    SettingsStore store(profile.filePath(QStringLiteral("settings.ini")));
    store.Load(settings);
    MainFrame frame(settings, store, QDir::currentPath().toStdString());
    frame.show();
    FindInDisksDialog& dialog = *frame.findDialog();
    dialog.show();
    dialog.patternField()->SetBytes(PetsciiName(pattern));
    dialog.lookIn()->setEditText(QString::fromStdString(folder));

    std::vector<double> cliMs, dialogMs, gapMs;
    int cliRows = 0, dialogRows = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        QProcess process;
        process.setStandardErrorFile(QProcess::nullDevice());
        clock.start();
        process.start(cli, {QStringLiteral("find"), QString::fromStdString(folder),
                            QString::fromStdString(pattern)});
        process.waitForFinished(-1);
        cliMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        cliRows = static_cast<int>(process.readAllStandardOutput().count('\n'));
        if (process.exitCode() != 0) {
            std::fprintf(stderr, "tessarind-cli find failed\n");
            return 1;
        }

        bool ended = false;
        QMetaObject::Connection endedConnection =
            QObject::connect(&dialog, &FindInDisksDialog::searchEnded, [&ended] { ended = true; });
        QElapsedTimer tick;
        qint64 longestGap = 0;
        QTimer beat;
        beat.setInterval(5);
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, tick.nsecsElapsed());
            tick.restart();
        });
        clock.restart();
        tick.start();
        beat.start();
        dialog.StartSearch();
        while (!ended)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        QObject::disconnect(endedConnection);
        dialogMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        beat.stop();
        gapMs.push_back(static_cast<double>(longestGap) / 1e6);
        dialogRows = dialog.model()->rowCount();
        std::printf("round %d: cli %8.1f ms   dialog %8.1f ms   longest event-loop gap %6.1f ms\n",
                    round + 1, cliMs.back(), dialogMs.back(), gapMs.back());
    }
    if (cliRows != dialogRows) {
        std::fprintf(stderr, "the dialog found %d files, the command line %d\n", dialogRows,
                     cliRows);
        return 1;
    }
    std::printf("%s\n", dialog.status()->text().toUtf8().constData());
    std::printf("median: cli %.1f ms, dialog %.1f ms, dialog/cli %.3f; longest gap %.1f ms "
                "(worst round %.1f ms)\n",
                Median(cliMs), Median(dialogMs), Median(dialogMs) / Median(cliMs), Median(gapMs),
                *std::max_element(gapMs.begin(), gapMs.end()));
    return 0;
}
