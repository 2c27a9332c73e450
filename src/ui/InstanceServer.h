#pragma once
// Hands a command line to a Tessarind that is already running. The running one listens on a
// local socket named from "KAVRO" and the user; a new start asks who is there, and the first
// instance answers "MMC", takes the command line and the folder it was given in, and opens
// its files.

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace tessarind {

class InstanceServer : public QObject {
    Q_OBJECT
public:
    static constexpr char kProbe[] = "KAVRO";
    static constexpr char kAnswer[] = "MMC";

    explicit InstanceServer(QString name, QObject* parent = nullptr);
    ~InstanceServer() override;

    // Starts listening; a socket left behind by an instance that is gone is replaced, one
    // that still answers is left alone (then this instance does not listen).
    bool Listen();
    bool listening() const;

    // The socket name of this user's instances; TESSARIND_INSTANCE_NAME replaces it (tests
    // run their instances apart that way).
    static QString DefaultName();

    // Offers `commandLine` to a running instance. True when one answered "MMC" and took it.
    static bool HandOver(const QString& name, const QString& commandLine, const QString& folder,
                         int timeoutMs = 2000);

signals:
    void CommandLineReceived(const QString& commandLine, const QString& folder);

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_;
};

} // namespace tessarind
