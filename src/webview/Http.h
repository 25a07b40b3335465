#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>
#include <utility>

// The little HTTP/1.1 the owner's view speaks: a request's head read from bytes as they come
// (nothing of the network here, so every limit is tested on plain bytes) and a response written
// with the headers every answer of the view carries.
namespace webview::http {

constexpr qsizetype kMaxRequestLine = 2 * 1024; // longer: 414
constexpr qsizetype kMaxHeadSize = 8 * 1024;    // the header lines together; more: 431

struct Request {
    QByteArray method;
    QByteArray target; // as sent: path and query
    QByteArray path;   // percent-decoded
    // False for a path that names anything outside the page's own names whatever it decodes to:
    // "..", "//", "\" or a NUL, raw or decoded.
    bool pathSafe = true;
    QMap<QString, QString> query;                     // decoded ('+' is a space); the first of a repeated name
    int minorVersion = 1;                             // HTTP/1.x
    QList<std::pair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    qint64 contentLength = 0;
    bool chunked = false; // a Transfer-Encoding was sent: a body of unknown length

    // The first header of that name (lower case), or a null array.
    QByteArray header(QByteArrayView name) const;
    // Whether the client asked to keep the connection (HTTP/1.1 unless "close"; 1.0 only with
    // "keep-alive").
    bool keepAlive() const;
    bool hasBody() const { return contentLength > 0 || chunked; }
    // The value of one cookie from every Cookie header, or a null array.
    QByteArray cookie(QByteArrayView name) const;
};

// Reads requests' heads from a connection's bytes, fed as they arrive. Bodies are not read: a
// request that announces one is handed over complete and the connection is closed after the
// answer, so what would follow is never taken as a request.
class RequestParser final {
public:
    enum class State { NeedMore, Complete, Failed };

    // Adds bytes and reads as far as they go.
    State feed(QByteArrayView bytes);
    State state() const { return state_; }
    // The request read (state Complete); the parser then reads the next one from what is left.
    Request take();
    // Why it failed: 400, 414, 431, 505.
    int failure() const { return failure_; }
    // Bytes of a request not yet complete: its head is still coming.
    bool midRequest() const { return !buffer_.isEmpty(); }

private:
    void parse();
    State fail(int status);
    QByteArray buffer_;
    Request request_;
    State state_ = State::NeedMore;
    int failure_ = 0;
};

// Percent-decoding; '+' becomes a space when plusIsSpace (a query). Nothing on a malformed
// escape ("%4", "%zz").
std::optional<QByteArray> percentDecoded(QByteArrayView text, bool plusIsSpace);

struct Response {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // More headers: Allow, Set-Cookie, Retry-After; a Cache-Control here replaces "no-store".
    QList<std::pair<QByteArray, QByteArray>> headers;
    bool close = false; // the connection ends after it
};

QByteArray reasonPhrase(int status);
// The response's bytes: status line, the view's security headers, length and connection, then
// the body unless headOnly (a HEAD is answered with the GET's headers).
QByteArray serialize(const Response &response, bool headOnly, bool keepAlive);

// A short Spanish answer for an error: {"error": message} for the API, a small page otherwise.
Response errorResponse(int status, const QString &message, bool json);
Response jsonResponse(int status, const QByteArray &json);
Response htmlResponse(int status, const QString &title, const QString &bodyHtml);
QString htmlEscaped(const QString &text);

} // namespace webview::http
