#include "platform/SingleInstance.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

namespace sys {

namespace {

const QByteArray kShow = QByteArrayLiteral("mostrar\n");
const QByteArray kShown = QByteArrayLiteral("mostrado\n");
// How often the path is looked at for another file under it; a second start meanwhile retries.
constexpr int kFollowMs = 1000;

} // namespace

SingleInstance::SingleInstance(QString databasePath, std::function<void()> show, QObject *parent)
    : QObject(parent), path_(std::move(databasePath)), show_(std::move(show)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketName(const QString &databasePath) {
    struct stat st {};
    if (::stat(QFile::encodeName(databasePath).constData(), &st) != 0) {
        return {};
    }
    return QStringLiteral("ludomat-%1-%2-%3")
        .arg(::getuid())
        .arg(static_cast<qulonglong>(st.st_dev))
        .arg(static_cast<qulonglong>(st.st_ino));
}

bool SingleInstance::listen() {
    if (!follow_) {
        follow_ = new QTimer(this);
        follow_->setInterval(kFollowMs);
        connect(follow_, &QTimer::timeout, this, &SingleInstance::follow);
        follow_->start();
    }
    delete server_;
    server_ = nullptr;
    name_ = socketName(path_);
    if (name_.isEmpty()) {
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
    if (!server_->listen(name_)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    return true;
}

void SingleInstance::follow() {
    // One stat: a second start names the socket after the file the path leads to now.
    if (const QString now = socketName(path_); !now.isEmpty() && now != name_) {
        listen();
    }
}

void SingleInstance::answer() {
    while (QLocalSocket *caller = server_->nextPendingConnection()) {
        connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
        connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
            if (!caller->canReadLine()) {
                return;
            }
            const bool asked = caller->readLine() == kShow;
            if (asked && show_) {
                show_();
            }
            caller->write(asked ? kShown : QByteArrayLiteral("?\n"));
            caller->disconnectFromServer();
        });
    }
}

bool SingleInstance::askRunningToShow(const QString &databasePath, int timeoutMs) {
    const QString name = socketName(databasePath);
    if (name.isEmpty()) {
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    // The running program may be a moment from listening: it takes the lock first.
    while (true) {
        socket.connectToServer(name);
        if (socket.waitForConnected(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)))) {
            break;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        socket.abort();
        QThread::msleep(50);
    }
    socket.write(kShow);
    if (!socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)))) {
        return false;
    }
    QByteArray reply;
    while (!reply.endsWith('\n')) {
        if (!socket.waitForReadyRead(static_cast<int>(qMax<qint64>(deadline.remainingTime(), 1)))) {
            return false;
        }
        reply += socket.readAll();
    }
    return reply == kShown;
}

} // namespace sys
