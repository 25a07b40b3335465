#include "webview/Http.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace webview::http {

namespace {

// The characters of a method's or a header's name (RFC 9110's tchar).
bool isTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text) {
    if (text.isEmpty()) {
        return false;
    }
    for (char c : text) {
        if (!isTokenChar(c)) {
            return false;
        }
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A line without its CR.
QByteArrayView withoutCr(QByteArrayView line) {
    return line.endsWith('\r') ? line.chopped(1) : line;
}

bool namesOutside(QByteArrayView path) {
    return path.contains("..") || path.contains("//") || path.contains('\\') || path.contains('\0');
}

const char *const kSecurityHeaders =
    "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Referrer-Policy: no-referrer\r\n"
    "X-Frame-Options: DENY\r\n";

} // namespace

QByteArray Request::header(QByteArrayView name) const {
    for (const auto &[key, value] : headers) {
        if (key == name) {
            return value;
        }
    }
    return {};
}

bool Request::keepAlive() const {
    const QByteArray connection = header("connection").toLower();
    if (minorVersion == 0) {
        return connection.contains("keep-alive");
    }
    return !connection.contains("close");
}

QByteArray Request::cookie(QByteArrayView name) const {
    for (const auto &[key, value] : headers) {
        if (key != "cookie") {
            continue;
        }
        for (const QByteArray &pair : value.split(';')) {
            const QByteArray trimmed = pair.trimmed();
            const qsizetype equals = trimmed.indexOf('=');
            if (equals > 0 && QByteArrayView(trimmed).first(equals).trimmed() == name) {
                QByteArray found = trimmed.mid(equals + 1).trimmed();
                return found.isNull() ? QByteArray("") : found;
            }
        }
    }
    return {};
}

std::optional<QByteArray> percentDecoded(QByteArrayView text, bool plusIsSpace) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size()) {
                return std::nullopt;
            }
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            out += char(high * 16 + low);
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

RequestParser::State RequestParser::feed(QByteArrayView bytes) {
    if (state_ == State::Failed) {
        return state_;
    }
    buffer_.append(bytes);
    if (state_ == State::NeedMore) {
        parse();
    }
    return state_;
}

Request RequestParser::take() {
    Request taken = std::move(request_);
    request_ = Request();
    if (state_ == State::Complete) {
        state_ = State::NeedMore;
        parse();
    }
    return taken;
}

RequestParser::State RequestParser::fail(int status) {
    failure_ = status;
    buffer_.clear();
    state_ = State::Failed;
    return state_;
}

void RequestParser::parse() {
    // Empty lines before a request are tolerated (a client's CRLF after the last one).
    qsizetype start = 0;
    while (start < buffer_.size() && (buffer_[start] == '\n' || buffer_[start] == '\r')) {
        if (buffer_[start] == '\r' && (start + 1 >= buffer_.size() || buffer_[start + 1] != '\n')) {
            break;
        }
        ++start;
    }
    if (start > 0) {
        buffer_.remove(0, start);
    }
    if (buffer_.isEmpty()) {
        return;
    }
    const qsizetype lineEnd = buffer_.indexOf('\n');
    if (lineEnd < 0) {
        if (buffer_.size() > kMaxRequestLine + 1) {
            fail(414);
        }
        return;
    }
    const QByteArrayView requestLine = withoutCr(QByteArrayView(buffer_).first(lineEnd));
    if (requestLine.size() > kMaxRequestLine) {
        fail(414);
        return;
    }
    // The header lines up to the empty one.
    QList<QByteArrayView> lines;
    qsizetype at = lineEnd + 1;
    qsizetype headEnd = -1;
    while (true) {
        const qsizetype next = buffer_.indexOf('\n', at);
        if (next < 0) {
            if (buffer_.size() - (lineEnd + 1) > kMaxHeadSize + 2) {
                fail(431);
            }
            return;
        }
        const QByteArrayView line = withoutCr(QByteArrayView(buffer_).sliced(at, next - at));
        if (next + 1 - (lineEnd + 1) > kMaxHeadSize + 2) {
            fail(431);
            return;
        }
        at = next + 1;
        if (line.isEmpty()) {
            headEnd = at;
            break;
        }
        lines << line;
    }

    Request request;
    // The request line: method, target, version, one space apart.
    const QList<QByteArray> parts = requestLine.toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0])) {
        fail(400);
        return;
    }
    request.method = parts[0];
    request.target = parts[1];
    const QByteArray &version = parts[2];
    if (version == "HTTP/1.1") {
        request.minorVersion = 1;
    } else if (version == "HTTP/1.0") {
        request.minorVersion = 0;
    } else if (version.size() == 8 && version.startsWith("HTTP/") && version[5] >= '0' && version[5] <= '9' &&
               version[6] == '.' && version[7] >= '0' && version[7] <= '9') {
        fail(505);
        return;
    } else {
        fail(400);
        return;
    }
    // Only the origin form ("/path?query"), in printable ASCII.
    if (!request.target.startsWith('/')) {
        fail(400);
        return;
    }
    for (char c : std::as_const(request.target)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '#') {
            fail(400);
            return;
        }
    }
    const qsizetype question = request.target.indexOf('?');
    const QByteArrayView rawPath =
        QByteArrayView(request.target).first(question < 0 ? request.target.size() : question);
    const auto path = percentDecoded(rawPath, false);
    if (!path) {
        fail(400);
        return;
    }
    request.path = *path;
    request.pathSafe = !namesOutside(rawPath) && !namesOutside(request.path);
    if (question >= 0) {
        for (const QByteArray &pair : request.target.mid(question + 1).split('&')) {
            if (pair.isEmpty()) {
                continue;
            }
            const qsizetype equals = pair.indexOf('=');
            const auto name = percentDecoded(QByteArrayView(pair).first(equals < 0 ? pair.size() : equals), true);
            const auto value =
                percentDecoded(equals < 0 ? QByteArrayView() : QByteArrayView(pair).sliced(equals + 1), true);
            if (!name || !value) {
                fail(400);
                return;
            }
            const QString key = QString::fromUtf8(*name);
            if (!request.query.contains(key)) {
                request.query.insert(key, QString::fromUtf8(*value));
            }
        }
    }

    bool sawLength = false;
    int hosts = 0;
    for (const QByteArrayView line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(':');
        // No folded lines, no blank before the colon (a smuggling trick).
        if (colon <= 0 || !isToken(line.first(colon))) {
            fail(400);
            return;
        }
        const QByteArrayView value = line.sliced(colon + 1).trimmed();
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 && c != '\t') || byte == 0x7f) {
                fail(400);
                return;
            }
        }
        const QByteArray name = line.first(colon).toByteArray().toLower();
        if (name == "content-length") {
            bool ok = value.size() <= 18 && !value.isEmpty();
            for (char c : value) {
                ok = ok && c >= '0' && c <= '9';
            }
            const qint64 length = ok ? value.toLongLong(&ok) : -1;
            if (!ok || (sawLength && length != request.contentLength)) {
                fail(400);
                return;
            }
            sawLength = true;
            request.contentLength = length;
        } else if (name == "transfer-encoding") {
            request.chunked = true;
        } else if (name == "host") {
            ++hosts;
        }
        request.headers.emplaceBack(name, value.toByteArray());
    }
    // A length and a transfer coding together are read differently by different servers.
    if ((sawLength && request.chunked) || hosts > 1 || (request.minorVersion == 1 && hosts == 0)) {
        fail(400);
        return;
    }
    buffer_.remove(0, headEnd);
    request_ = std::move(request);
    state_ = State::Complete;
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 414:
        return "URI Too Long";
    case 429:
        return "Too Many Requests";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return "Status";
    }
}

QByteArray serialize(const Response &response, bool headOnly, bool keepAlive) {
    QByteArray out;
    out.reserve(512 + (headOnly ? 0 : response.body.size()));
    out += "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    if (!response.contentType.isEmpty()) {
        out += "Content-Type: " + response.contentType + "\r\n";
    }
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    out += keepAlive && !response.close ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    out += kSecurityHeaders;
    bool cacheControl = false;
    for (const auto &[name, value] : response.headers) {
        cacheControl = cacheControl || name.compare("Cache-Control", Qt::CaseInsensitive) == 0;
        out += name + ": " + value + "\r\n";
    }
    if (!cacheControl) {
        out += "Cache-Control: no-store\r\n";
    }
    out += "\r\n";
    if (!headOnly) {
        out += response.body;
    }
    return out;
}

QString htmlEscaped(const QString &text) {
    return text.toHtmlEscaped();
}

Response htmlResponse(int status, const QString &title, const QString &bodyHtml) {
    Response response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = QStringLiteral("<!DOCTYPE html>\n<html lang=\"es\"><head><meta charset=\"utf-8\">"
                                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                                   "<title>%1</title><link rel=\"stylesheet\" href=\"/app.css\"></head>\n"
                                   "<body class=\"aviso\"><main><h1>%1</h1>\n%2\n</main></body></html>\n")
                        .arg(htmlEscaped(title), bodyHtml)
                        .toUtf8();
    return response;
}

Response jsonResponse(int status, const QByteArray &json) {
    Response response;
    response.status = status;
    response.contentType = "application/json; charset=utf-8";
    response.body = json;
    return response;
}

Response errorResponse(int status, const QString &message, bool json) {
    if (json) {
        return jsonResponse(
            status, QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(QJsonDocument::Compact));
    }
    return htmlResponse(status, message, QStringLiteral("<p><a href=\"/\">Volver a la vista del dueño</a></p>"));
}

} // namespace webview::http
