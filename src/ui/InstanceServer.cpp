#include "ui/InstanceServer.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>
#include <unistd.h>

namespace tessarind {

namespace {

constexpr int kProbeLength = 5;
constexpr int kAnswerLength = 3;
constexpr char kStage[] = "stage";

// The command line after the probe: its length, then the line and the folder as UTF-8.
QByteArray Envelope(const QString& commandLine, const QString& folder) {
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out << commandLine.toUtf8() << folder.toUtf8();
    QByteArray framed;
    QDataStream frame(&framed, QIODevice::WriteOnly);
    frame << static_cast<quint32>(payload.size());
    return framed + payload;
}

} // namespace

InstanceServer::InstanceServer(QString name, QObject* parent)
    : QObject(parent), name_(std::move(name)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceServer::Accept);
}

InstanceServer::~InstanceServer() = default;

QString InstanceServer::DefaultName() {
    QByteArray chosen = qgetenv("TESSARIND_INSTANCE_NAME");
    if (!chosen.isEmpty()) return QString::fromLocal8Bit(chosen);
    return QStringLiteral("%1-Tessarind-%2").arg(QLatin1String(kProbe)).arg(getuid());
}

bool InstanceServer::listening() const {
    return server_->isListening();
}

bool InstanceServer::Listen() {
    if (server_->listen(name_)) return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    // Someone holds the name: a live instance answers; a dead one left its socket behind.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

void InstanceServer::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setProperty(kStage, 0);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        Read(socket);
    }
}

void InstanceServer::Read(QLocalSocket* socket) {
    constexpr quint32 kLongest = 1 << 20;
    if (socket->property(kStage).toInt() == 2) return;
    if (socket->property(kStage).toInt() == 0) {
        if (socket->bytesAvailable() < kProbeLength) return;
        if (socket->read(kProbeLength) != QByteArray(kProbe)) {
            socket->disconnectFromServer();
            return;
        }
        socket->write(kAnswer, kAnswerLength);
        socket->flush();
        socket->setProperty(kStage, 1);
    }
    if (socket->bytesAvailable() < 4) return;
    QByteArray head = socket->peek(4);
    QDataStream sizeIn(head);
    quint32 size = 0;
    sizeIn >> size;
    if (size > kLongest) {
        socket->disconnectFromServer();
        return;
    }
    if (socket->bytesAvailable() < 4 + static_cast<qint64>(size)) return;
    socket->read(4);
    QByteArray payload = socket->read(size);
    QDataStream in(payload);
    QByteArray line, folder;
    in >> line >> folder;
    socket->setProperty(kStage, 2);
    socket->disconnectFromServer();
    if (in.status() == QDataStream::Ok)
        emit CommandLineReceived(QString::fromUtf8(line), QString::fromUtf8(folder));
}

bool InstanceServer::HandOver(const QString& name, const QString& commandLine,
                              const QString& folder, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kProbe, kProbeLength);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    QByteArray answer;
    while (answer.size() < kAnswerLength) {
        if (!socket.bytesAvailable() && !socket.waitForReadyRead(timeoutMs)) return false;
        answer += socket.read(kAnswerLength - answer.size());
    }
    if (answer != QByteArray(kAnswer, kAnswerLength)) return false;
    socket.write(Envelope(commandLine, folder));
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    // The instance closes the connection once it has the whole line.
    if (socket.state() == QLocalSocket::ConnectedState) socket.waitForDisconnected(timeoutMs);
    return true;
}

} // namespace tessarind
