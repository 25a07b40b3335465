#pragma once

#include "webview/Http.h"
#include "webview/ViewServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QSslSocket;

namespace webview {

class RateLimiter;
class Routes;

// One phone's connection once its TLS handshake is done: requests read one after another
// (keep-alive), each answered at once. A head that takes too long gets 408 and the end; a
// connection with nothing asked ends quietly. It goes (with its socket) when the socket closes.
class Connection final : public QObject {
    Q_OBJECT
public:
    Connection(QSslSocket *socket, QByteArray address, Routes &routes, RateLimiter &rate, const ServerLimits &limits,
               const QElapsedTimer &clock, QObject *parent);

private:
    void readIncoming();
    void handle(const http::Request &request);
    void send(const http::Response &response, bool headOnly, bool keepAlive);
    void timedOut();
    void rearm();

    QSslSocket *socket_;
    QByteArray address_;
    Routes &routes_;
    RateLimiter &rate_;
    ServerLimits limits_;
    const QElapsedTimer &clock_;
    http::RequestParser parser_;
    QTimer timer_;
    bool headPending_ = false; // the timer runs for a head, not for idleness
    bool closing_ = false;
};

} // namespace webview
