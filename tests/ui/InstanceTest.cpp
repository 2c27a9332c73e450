// One instance per user: a second start hands its command line over and ends with 1; with
// "Same Instance" off it starts a frame of its own. The built program is started as a separate
// process; each case uses a socket name and a settings folder of its own.

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include "UiTestSupport.h"
#include "ui/ImageDocument.h"
#include "ui/InstanceServer.h"

using namespace tessarind;
using namespace tessarind::testing;

namespace {

constexpr int kProcessTimeoutMs = 60000;

QString UniqueName() {
    return QStringLiteral("tessarind-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// The program with its own settings folder (holding "Same Instance" as given) and socket name.
void Prepare(QProcess& process, const QTemporaryDir& dir, const QString& name, bool sameInstance) {
    QString config = dir.filePath(QStringLiteral("config"));
    {
        QSettings store(config + QStringLiteral("/Qorbe/Tessarind.conf"), QSettings::IniFormat);
        if (!sameInstance) store.setValue(QStringLiteral("Same Instance"), 0);
        store.setValue(QStringLiteral("Location"), QString());
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    environment.insert(QStringLiteral("TESSARIND_INSTANCE_NAME"), name);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
}

QStringList Titles(const MainFrame& frame) {
    QStringList titles;
    for (const auto& document : frame.openImages())
        titles.push_front(QString::fromStdString(document->image().title()));
    return titles;
}

} // namespace

class InstanceTest : public QObject {
    Q_OBJECT

private slots:
    void secondStartHandsItsCommandLineOverAndEndsWithOne() {
        FrameFixture f;
        QString name = UniqueName();
        InstanceServer server(name);
        QVERIFY(server.Listen());
        connect(&server, &InstanceServer::CommandLineReceived, f.frame.get(),
                &MainFrame::TakeCommandLine);

        WriteBlankD64(f.Path(QStringLiteral("one.d64")));
        WriteBlankD64(f.Path(QStringLiteral("two words.d64")));
        QProcess second;
        Prepare(second, f.dir, name, true);
        second.start(QStringLiteral(TESSARIND_APP),
                     {QStringLiteral("one.d64"), QStringLiteral("two words.d64")});
        QVERIFY(second.waitForStarted());
        // The first instance keeps running its event loop while the second one talks to it.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, kProcessTimeoutMs);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        // Relative names are found in the folder the second start was given.
        QTRY_COMPARE(Titles(*f.frame),
                     (QStringList{QStringLiteral("one.d64"), QStringLiteral("two words.d64")}));
        QVERIFY(f.ui.messages.empty());
    }

    void withSameInstanceOffASecondStartHasItsOwnFrame() {
        FrameFixture f;
        QString name = UniqueName();
        InstanceServer server(name);
        QVERIFY(server.Listen());
        int received = 0;
        connect(&server, &InstanceServer::CommandLineReceived, this, [&] { ++received; });

        WriteBlankD64(f.Path(QStringLiteral("own.d64")));
        QString picture = f.Path(QStringLiteral("own.png"));
        QProcess second;
        Prepare(second, f.dir, name, false);
        second.start(QStringLiteral(TESSARIND_APP),
                     {QStringLiteral("own.d64"), QStringLiteral("--screenshot=") + picture});
        QVERIFY(second.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, kProcessTimeoutMs);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received, 0);
        // It showed its own frame with the image, and saved its settings on the way out.
        QImage shot(picture);
        QVERIFY(!shot.isNull());
        QVERIFY(shot.width() > 200 && shot.height() > 200);
        QSettings store(f.dir.filePath(QStringLiteral("config/Qorbe/Tessarind.conf")),
                        QSettings::IniFormat);
        QCOMPARE(store.value(QStringLiteral("FileMRU/MRU0")).toString(),
                 f.Path(QStringLiteral("own.d64")));
    }

    void runningProgramAnswersTheProbe() {
        QTemporaryDir dir;
        QString name = UniqueName();
        QProcess first;
        Prepare(first, dir, name, true);
        first.start(QStringLiteral(TESSARIND_APP), QStringList{});
        QVERIFY(first.waitForStarted());
        QLocalSocket socket;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                socket.abort();
                socket.connectToServer(name);
                return socket.waitForConnected(200);
            }(),
            kProcessTimeoutMs);
        socket.write("KAVRO");
        QVERIFY(socket.waitForBytesWritten(5000));
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT((answer += socket.readAll()).size() >= 3, 10000);
        QCOMPARE(answer, QByteArray("MMC"));
        socket.abort();
        first.terminate();
        QVERIFY(first.waitForFinished(kProcessTimeoutMs));
    }

    void nobodyListeningMeansNoHandOver() {
        QVERIFY(!InstanceServer::HandOver(UniqueName(), QStringLiteral("tessarind a.d64"),
                                          QDir::tempPath(), 500));
    }

    void aStrangerIsNotAnswered() {
        QString name = UniqueName();
        InstanceServer server(name);
        QVERIFY(server.Listen());
        int received = 0;
        connect(&server, &InstanceServer::CommandLineReceived, this, [&] { ++received; });
        QLocalSocket socket;
        socket.connectToServer(name);
        QVERIFY(socket.waitForConnected(2000));
        socket.write("HELLO");
        QVERIFY(socket.waitForBytesWritten(2000));
        QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
        QVERIFY(socket.readAll().isEmpty());
        QCOMPARE(received, 0);
    }
};

QTEST_MAIN(InstanceTest)
#include "InstanceTest.moc"
