// The desktop editor: settings first, then the hand-over to a running instance, then the
// frame with the files of the command line.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "text/Settings.h"
#include "ui/CommandLineParser.h"
#include "ui/InstanceServer.h"
#include "ui/MainFrame.h"
#include "ui/PlatformAssociations.h"
#include "ui/SettingsStore.h"

using namespace tessarind;

namespace {

// Developer options, read here and skipped by the command-line parser like any option:
//   --screenshot=FILE  saves a picture of the frame once it shows its files, then exits
//   --command=ID       runs a command (by number) once the files are open, before the
//                      screenshot; repeatable, run in order
//   --report-shown     prints the wall-clock time (ns) at which the frame first showed its
//                      files, then exits (bench/startup.sh)
struct DeveloperOptions {
    QString screenshot;
    std::vector<int> commands;
    bool reportShown = false;
};

DeveloperOptions ReadDeveloperOptions(const QStringList& arguments) {
    DeveloperOptions options;
    for (const QString& argument : arguments) {
        if (argument.startsWith(QStringLiteral("--screenshot=")))
            options.screenshot = argument.mid(13);
        else if (argument.startsWith(QStringLiteral("--command=")))
            options.commands.push_back(argument.mid(10).toInt());
        else if (argument == QStringLiteral("--report-shown"))
            options.reportShown = true;
    }
    return options;
}

long long WallClockNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Runs `then` once the frame is on the screen and has painted.
void WhenShown(MainFrame& frame, std::function<void()> then) {
    auto* poll = new QTimer(&frame);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, &frame, [&frame, poll, then = std::move(then)] {
        QWindow* window = frame.windowHandle();
        if (!window || !window->isExposed()) return;
        poll->stop();
        poll->deleteLater();
        QCoreApplication::processEvents();
        then();
    });
    poll->start();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Qorbe"));
    QCoreApplication::setApplicationName(QStringLiteral("Tessarind"));

    // Settings come before any window.
    Settings settings;
    SettingsStore store;
    store.Load(settings);

    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments())
        arguments.push_back(argument.toStdString());
    const std::string commandLine = CommandLineParser::Join(arguments);
    const QString startFolder = QDir::currentPath();
    const QString instanceName = InstanceServer::DefaultName();

    // A running instance takes the command line; this one then ends.
    if (settings.On(SettingId::SameInstance) &&
        InstanceServer::HandOver(instanceName, QString::fromStdString(commandLine), startFolder))
        return 1;

    ParsedCommandLine parsed = CommandLineParser::Parse(commandLine);
    // "-a" registers the file associations and ends the program before any window shows;
    // kinds another program already opens keep their owner.
    if (parsed.stop) {
        PlatformAssociations(QCoreApplication::applicationFilePath().toStdString()).AssociateAll();
        return 1;
    }

    DeveloperOptions developer = ReadDeveloperOptions(QCoreApplication::arguments());
    MainFrame frame(settings, store, startFolder.toStdString());
    frame.show();

    InstanceServer server(instanceName);
    server.Listen();
    QObject::connect(&server, &InstanceServer::CommandLineReceived, &frame,
                     &MainFrame::TakeCommandLine);

    if (parsed.tokens.size() > 1) {
        QTimer::singleShot(0, &frame,
                           [&frame, commandLine] { frame.OpenCommandLine(commandLine); });
    }
    if (!developer.screenshot.isEmpty() || developer.reportShown) {
        // After the posted opening above has run.
        QTimer::singleShot(0, &frame, [&frame, developer] {
            WhenShown(frame, [&frame, developer] {
                if (developer.reportShown) std::printf("shown %lld\n", WallClockNs());
                for (int id : developer.commands) {
                    frame.ExecuteCommand(static_cast<CommandId>(id));
                    QCoreApplication::processEvents();
                }
                std::fflush(stdout);
                if (!developer.screenshot.isEmpty() && !frame.grab().save(developer.screenshot))
                    std::fprintf(stderr, "cannot write %s\n", qPrintable(developer.screenshot));
                frame.close();
            });
        });
    }
    return app.exec();
}
