#include "webview/ViewServer.h"

#include "webview/Throttle.h"
#include "webview/ViewServerConnection.h"
#include "webview/ViewServerRoutes.h"

#include <QElapsedTimer>
#include <QSslServer>
#include <QSslSocket>
#include <sys/socket.h>
#include <unistd.h>

namespace webview {

namespace {

// The peer as the limits count it: an IPv4 client of a dual-stack socket by its IPv4 address.
QByteArray addressKey(const QHostAddress &peer) {
    bool mapped = false;
    const quint32 v4 = peer.toIPv4Address(&mapped);
    return (mapped ? QHostAddress(v4) : peer).toString().toLatin1();
}

QHostAddress peerOf(qintptr descriptor) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr *>(&storage), &length) != 0) {
        return {};
    }
    return QHostAddress(reinterpret_cast<const sockaddr *>(&storage));
}

} // namespace

// QSslServer with the connection limits applied before any TLS work is spent on a socket.
class ViewSslServer final : public QSslServer {
public:
    explicit ViewSslServer(ViewServer &owner) : QSslServer(&owner), owner_(owner) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        const QHostAddress peer = peerOf(descriptor);
        if (!owner_.admit(peer)) {
            ::close(int(descriptor));
            return;
        }
        QSslServer::incomingConnection(descriptor);
        // The socket in its handshake counts against the limits from now on.
        for (QSslSocket *socket : findChildren<QSslSocket *>(Qt::FindDirectChildrenOnly)) {
            if (socket->socketDescriptor() == descriptor && !owner_.sockets_.contains(socket)) {
                owner_.track(socket, peer);
            }
        }
    }

private:
    ViewServer &owner_;
};

struct ViewServer::State {
    RateLimiter rate;
    QElapsedTimer clock;
};

ViewServer::ViewServer(ServerSetup setup, QObject *parent)
    : QObject(parent), setup_(std::move(setup)), server_(new ViewSslServer(*this)),
      routes_(std::make_unique<Routes>(setup_.databasePath, setup_.devicesPath)), state_(std::make_unique<State>()) {
    state_->clock.start();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(setup_.certificate.certificate);
    tls.setPrivateKey(setup_.certificate.key);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls.setAllowedNextProtocols({QByteArrayLiteral("http/1.1")});
    server_->setSslConfiguration(tls);
    server_->setHandshakeTimeout(setup_.limits.headersMs);
    server_->setMaxPendingConnections(setup_.limits.connections);
    connect(server_, &QTcpServer::pendingConnectionAvailable, this, &ViewServer::takePending);
    // A failed handshake's socket is never handed over: it goes here.
    connect(server_, &QSslServer::errorOccurred, this, [](QSslSocket *socket, QAbstractSocket::SocketError) {
        if (!socket->isEncrypted()) {
            socket->deleteLater();
        }
    });
}

ViewServer::~ViewServer() = default;

void ViewServer::openBooks() {
    routes_->openBooks();
}

QString ViewServer::listen() {
    if (server_->listen(setup_.address, setup_.port)) {
        return {};
    }
    switch (server_->serverError()) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("El puerto %1 ya está en uso; elija otro.").arg(setup_.port);
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("No hay permiso para usar el puerto %1 (los menores que 1024 son del sistema).")
            .arg(setup_.port);
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("La dirección %1 no es de esta máquina.").arg(setup_.address.toString());
    default:
        return QStringLiteral("No se puede escuchar en el puerto %1: %2").arg(setup_.port).arg(server_->errorString());
    }
}

quint16 ViewServer::port() const {
    return server_->serverPort();
}

bool ViewServer::admit(const QHostAddress &peer) {
    return sockets_.size() < setup_.limits.connections &&
           perAddress_.value(addressKey(peer)) < setup_.limits.connectionsPerAddress;
}

void ViewServer::track(QSslSocket *socket, const QHostAddress &peer) {
    const QByteArray key = addressKey(peer);
    sockets_.insert(socket, key);
    ++perAddress_[key];
    connect(socket, &QObject::destroyed, this, [this](QObject *gone) {
        const QByteArray goneKey = sockets_.take(gone);
        if (auto it = perAddress_.find(goneKey); it != perAddress_.end() && --*it <= 0) {
            perAddress_.erase(it);
        }
    });
}

void ViewServer::takePending() {
    while (server_->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(server_->nextPendingConnection());
        if (!socket) {
            continue;
        }
        const QHostAddress peer = socket->peerAddress();
        if (!sockets_.contains(socket)) {
            if (!admit(peer)) {
                socket->abort();
                socket->deleteLater();
                continue;
            }
            track(socket, peer);
        }
        new Connection(socket, sockets_.value(socket), *routes_, state_->rate, setup_.limits, state_->clock, this);
    }
}

} // namespace webview
