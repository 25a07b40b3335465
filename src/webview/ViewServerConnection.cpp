#include "webview/ViewServerConnection.h"

#include "webview/Throttle.h"
#include "webview/ViewServerRoutes.h"

#include <QSslSocket>
#include <exception>

namespace webview {

namespace {

// Answers waiting to go out beyond this: a client that does not read is let go.
constexpr qint64 kMostUnsent = 4 * 1024 * 1024;
// A closing connection whose client does not finish the TLS goodbye is cut after this.
constexpr int kGoodbyeMs = 5000;

QString failureText(int status) {
    switch (status) {
    case 408:
        return QStringLiteral("La petición tardó demasiado en llegar.");
    case 414:
        return QStringLiteral("La dirección pedida es demasiado larga.");
    case 431:
        return QStringLiteral("Los encabezados de la petición son demasiado grandes.");
    case 505:
        return QStringLiteral("Esa versión de HTTP no se atiende.");
    default:
        return QStringLiteral("La petición no se entiende.");
    }
}

} // namespace

Connection::Connection(QSslSocket *socket, QByteArray address, Routes &routes, RateLimiter &rate,
                       const ServerLimits &limits, const QElapsedTimer &clock, QObject *parent)
    : QObject(parent), socket_(socket), address_(std::move(address)), routes_(routes), rate_(rate), limits_(limits),
      clock_(clock) {
    socket_->setParent(this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &Connection::timedOut);
    connect(socket_, &QSslSocket::readyRead, this, &Connection::readIncoming);
    connect(socket_, &QSslSocket::disconnected, this, &QObject::deleteLater);
    connect(socket_, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            deleteLater();
        }
    });
    rearm();
    if (socket_->bytesAvailable() > 0) {
        readIncoming();
    }
}

void Connection::readIncoming() {
    const QByteArray bytes = socket_->readAll();
    if (closing_) {
        return;
    }
    parser_.feed(bytes);
    while (!closing_) {
        if (parser_.state() == http::RequestParser::State::Failed) {
            http::Response failed = http::errorResponse(parser_.failure(), failureText(parser_.failure()), false);
            failed.close = true;
            send(failed, false, false);
            break;
        }
        if (parser_.state() != http::RequestParser::State::Complete) {
            break;
        }
        handle(parser_.take());
    }
    rearm();
}

void Connection::handle(const http::Request &request) {
    const bool json = request.path.startsWith("/api/");
    http::Response response;
    if (const int wait = rate_.take(address_, clock_.elapsed()); wait > 0) {
        response = http::errorResponse(429, QStringLiteral("Demasiadas consultas seguidas; espere un momento."), json);
        response.headers.emplaceBack("Retry-After", QByteArray::number(wait));
    } else {
        try {
            response = routes_.answer(request, address_, clock_.elapsed());
        } catch (const std::exception &) {
            // Nothing of the request is told anywhere: it may hold a token.
            response = http::errorResponse(500, QStringLiteral("La vista tuvo un error; se reintenta."), json);
        }
    }
    if (request.hasBody()) {
        response.close = true; // its body would be read as the next request
    }
    send(response, request.method == "HEAD", request.keepAlive());
}

void Connection::send(const http::Response &response, bool headOnly, bool keepAlive) {
    socket_->write(http::serialize(response, headOnly, keepAlive));
    if (socket_->bytesToWrite() > kMostUnsent) {
        closing_ = true;
        socket_->abort();
        return;
    }
    if (response.close || !keepAlive) {
        closing_ = true;
        timer_.start(kGoodbyeMs);
        socket_->disconnectFromHost();
    }
}

void Connection::timedOut() {
    if (closing_) {
        socket_->abort();
        return;
    }
    if (headPending_) {
        http::Response late = http::errorResponse(408, failureText(408), false);
        late.close = true;
        send(late, false, false);
        return;
    }
    closing_ = true;
    timer_.start(kGoodbyeMs);
    socket_->disconnectFromHost();
}

void Connection::rearm() {
    if (closing_) {
        return;
    }
    if (parser_.midRequest()) {
        // The head's time counts from its first byte: trickling bytes does not extend it.
        if (!headPending_) {
            headPending_ = true;
            timer_.start(limits_.headersMs);
        }
    } else {
        headPending_ = false;
        timer_.start(limits_.idleMs);
    }
}

} // namespace webview
