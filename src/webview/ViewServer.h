#pragma once

#include "webview/Certificate.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <memory>

class QSslSocket;

// The owner's view served over HTTPS (the `ludomat --serve` process): connections and their
// limits here; the HTTP in Http.h, the routes in ViewServerRoutes.h, the books' data in
// ViewServerBooks.h.
namespace webview {

class Routes;
class ViewSslServer;

struct ServerLimits {
    int connections = 100; // in all
    int connectionsPerAddress = 16;
    int headersMs = 10'000; // a request's head must be complete this long after its first byte
    int idleMs = 30'000;    // a kept-alive connection with nothing asked
};

struct ServerSetup {
    QString databasePath; // the books, read only
    QString devicesPath;  // vista.db
    CertificatePair certificate;
    QHostAddress address = QHostAddress::Any;
    quint16 port = 0;
    ServerLimits limits;
};

class ViewServer final : public QObject {
    Q_OBJECT
public:
    // Throws data::DbError when vista.db cannot be opened.
    explicit ViewServer(ServerSetup setup, QObject *parent = nullptr);
    ~ViewServer() override;

    // Opens the books and starts the journal's first check. Throws data::DbError.
    void openBooks();
    // Starts listening; what stands in the way in Spanish, empty when listening.
    QString listen();
    quint16 port() const;

private:
    // A new connection's descriptor: refused (closed at once) over the limits.
    bool admit(const QHostAddress &peer);
    void track(QSslSocket *socket, const QHostAddress &peer);
    void takePending();
    friend class ViewSslServer;

    ServerSetup setup_;
    ViewSslServer *server_;
    std::unique_ptr<Routes> routes_;
    struct State;
    std::unique_ptr<State> state_;
    QHash<QObject *, QByteArray> sockets_; // every socket, from its handshake, by peer address
    QHash<QByteArray, int> perAddress_;
};

} // namespace webview
