#include "webview/ViewServerRoutes.h"

#include "data/DbError.h"
#include "webview/Devices.h"
#include "webview/ViewServerBooks.h"

#include <QDateTime>
#include <QFile>

namespace webview {

namespace {

using http::Response;

const QString kNotPaired = QStringLiteral("Este dispositivo no está emparejado o fue revocado.");
const QString kBooksBusy = QStringLiteral("Los libros no se pueden leer ahora; se reintenta.");
const QString kDevicesBusy = QStringLiteral("La lista de dispositivos no se puede leer ahora; se reintenta.");
const QString kWrongCode = QStringLiteral("El código no es válido o ya venció. Pida uno nuevo en el programa.");

Response withHeader(Response response, const QByteArray &name, const QByteArray &value) {
    response.headers.emplaceBack(name, value);
    return response;
}

Response tooMany(qint64 waitMs, bool json) {
    const qint64 seconds = std::max<qint64>(1, (waitMs + 999) / 1000);
    return withHeader(http::errorResponse(429,
                                          QStringLiteral("Demasiados intentos equivocados. Espere %1 segundos y "
                                                         "vuelva a intentar.")
                                              .arg(seconds),
                                          json),
                      "Retry-After", QByteArray::number(seconds));
}

Response booksBusy() {
    return withHeader(http::errorResponse(503, kBooksBusy, true), "Retry-After", "1");
}

} // namespace

Response staticFile(const QString &name) {
    QFile file(QStringLiteral(":/vista/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        return http::errorResponse(404, QStringLiteral("No existe esa página."), false);
    }
    Response response;
    response.body = file.readAll();
    if (name.endsWith(QLatin1String(".html"))) {
        response.contentType = "text/html; charset=utf-8";
        return response; // the page is the gate: never kept
    }
    response.contentType = name.endsWith(QLatin1String(".js"))    ? "text/javascript; charset=utf-8"
                           : name.endsWith(QLatin1String(".css")) ? "text/css; charset=utf-8"
                           : name.endsWith(QLatin1String(".svg")) ? "image/svg+xml"
                                                                  : "application/octet-stream";
    // They hold no data: a phone may keep them a little.
    response.headers.emplaceBack("Cache-Control", "private, max-age=300");
    return response;
}

Response pairingForm(int status, const QString &code, const QString &note) {
    QString body;
    if (!note.isEmpty()) {
        body += QStringLiteral("<p class=\"nota\">%1</p>\n").arg(http::htmlEscaped(note));
    }
    body += QStringLiteral(
                "<p>Escriba el código que muestra el programa en «Vista del dueño» y un nombre para este "
                "dispositivo.</p>\n"
                "<form method=\"get\" action=\"/emparejar\">\n"
                "<p><label for=\"codigo\">Código</label><br><input id=\"codigo\" name=\"codigo\" value=\"%1\" "
                "required maxlength=\"16\" autocomplete=\"off\" autocapitalize=\"characters\"></p>\n"
                "<p><label for=\"nombre\">Nombre del dispositivo</label><br><input id=\"nombre\" name=\"nombre\" "
                "required maxlength=\"%2\" placeholder=\"Teléfono del dueño\"></p>\n"
                "<p><button type=\"submit\">Emparejar</button></p>\n</form>")
                .arg(http::htmlEscaped(code.left(16)))
                .arg(kMaxDeviceName);
    return http::htmlResponse(status, QStringLiteral("Emparejar este dispositivo"), body);
}

Routes::Routes(const QString &databasePath, const QString &devicesPath)
    : devices_(std::make_unique<DeviceStore>(devicesPath)), books_(std::make_unique<ViewServerBooks>(databasePath)) {}

Routes::~Routes() = default;

void Routes::openBooks() {
    books_->open();
}

Response Routes::answer(const http::Request &request, const QByteArray &address, qint64 nowMs) {
    const bool json = request.path.startsWith("/api/");
    if (request.method != "GET" && request.method != "HEAD") {
        Response refused = http::errorResponse(405, QStringLiteral("La vista solo se consulta: no cambia nada."), json);
        refused.headers.emplaceBack("Allow", "GET, HEAD");
        refused.close = request.hasBody(); // its body is never read
        return refused;
    }
    if (request.hasBody()) {
        Response refused = http::errorResponse(413, QStringLiteral("Una consulta no lleva contenido."), json);
        refused.close = true;
        return refused;
    }
    if (!request.pathSafe) {
        return http::errorResponse(404, QStringLiteral("No existe esa página."), json);
    }
    const QByteArray &path = request.path;
    if (path == "/") {
        return start(request, address, nowMs);
    }
    if (path == "/emparejar") {
        return pairing(request, address, nowMs);
    }
    if (path == "/app.js" || path == "/app.css" || path == "/icono.svg") {
        return staticFile(QString::fromLatin1(path.mid(1)));
    }
    if (json) {
        return api(request, address, nowMs);
    }
    return http::errorResponse(404, QStringLiteral("No existe esa página."), false);
}

Routes::Holder Routes::holder(const http::Request &request, const QByteArray &address, qint64 nowMs) {
    const QByteArray token = request.cookie(kCookieName);
    if (token.isEmpty()) {
        return Holder::None;
    }
    if (devices_->deviceForToken(token, QDateTime::currentDateTimeUtc())) {
        failures_.succeeded(address);
        return Holder::Paired;
    }
    failures_.failed(address, tokenHash(token), nowMs);
    return Holder::Wrong;
}

Response Routes::start(const http::Request &request, const QByteArray &address, qint64 nowMs) {
    if (request.cookie(kCookieName).isEmpty() || failures_.waitMs(address, nowMs) > 0) {
        return pairingForm(200, QString(), QString());
    }
    try {
        if (holder(request, address, nowMs) == Holder::Paired) {
            return staticFile(QStringLiteral("index.html"));
        }
    } catch (const data::DbError &) {
        return withHeader(http::errorResponse(503, kDevicesBusy, false), "Retry-After", "1");
    }
    return pairingForm(200, QString(), kNotPaired);
}

Response Routes::pairing(const http::Request &request, const QByteArray &address, qint64 nowMs) {
    const QString code = request.query.value(QStringLiteral("codigo")).trimmed();
    const QString name = request.query.value(QStringLiteral("nombre")).trimmed();
    if (code.isEmpty() || name.isEmpty()) {
        return pairingForm(200, code, QString());
    }
    if (const qint64 wait = failures_.waitMs(address, nowMs); wait > 0) {
        return tooMany(wait, false);
    }
    std::optional<QByteArray> token;
    try {
        token = devices_->pair(code, name, QDateTime::currentDateTimeUtc());
    } catch (const data::DbError &) {
        return withHeader(http::errorResponse(503, kDevicesBusy, false), "Retry-After", "1");
    }
    if (!token) {
        failures_.failed(address, tokenHash(code.toUpper().toUtf8()), nowMs);
        return pairingForm(403, QString(), kWrongCode);
    }
    failures_.succeeded(address);
    Response paired = http::htmlResponse(200, QStringLiteral("Dispositivo emparejado"),
                                         QStringLiteral("<p>Este dispositivo ya puede ver el salón.</p>\n"
                                                        "<p><a href=\"/\">Ver el salón</a></p>"));
    paired.headers.emplaceBack("Set-Cookie", QByteArray(kCookieName) + '=' + *token +
                                                 "; Path=/; Max-Age=31536000; HttpOnly; Secure; SameSite=Strict");
    return paired;
}

Response Routes::api(const http::Request &request, const QByteArray &address, qint64 nowMs) {
    const QByteArray &path = request.path;
    int dayCount = 0;
    if (path == "/api/dias") {
        const QString n = request.query.value(QStringLiteral("n"));
        dayCount = n == QLatin1String("7") ? 7 : n == QLatin1String("30") ? 30 : 0;
    } else if (path != "/api/salon" && path != "/api/hoy" && path != "/api/registro") {
        return http::errorResponse(404, QStringLiteral("No existe esa consulta."), true);
    }
    if (request.cookie(kCookieName).isEmpty()) {
        return http::errorResponse(401, kNotPaired, true);
    }
    if (const qint64 wait = failures_.waitMs(address, nowMs); wait > 0) {
        return tooMany(wait, true);
    }
    try {
        if (holder(request, address, nowMs) != Holder::Paired) {
            return http::errorResponse(401, kNotPaired, true);
        }
    } catch (const data::DbError &) {
        return withHeader(http::errorResponse(503, kDevicesBusy, true), "Retry-After", "1");
    }
    if (path == "/api/dias" && dayCount == 0) {
        return http::errorResponse(400, QStringLiteral("Los días se piden de a 7 o de a 30 (n=7 o n=30)."), true);
    }
    try {
        if (path == "/api/salon") {
            return http::jsonResponse(200, books_->room());
        }
        if (path == "/api/hoy") {
            return http::jsonResponse(200, books_->today());
        }
        if (path == "/api/dias") {
            return http::jsonResponse(200, books_->days(dayCount));
        }
        if (const auto journal = books_->journal()) {
            return http::jsonResponse(200, *journal);
        }
        return withHeader(http::errorResponse(503,
                                              QStringLiteral("El registro se está verificando; se muestra en "
                                                             "unos segundos."),
                                              true),
                          "Retry-After", "2");
    } catch (const data::DbError &) {
        return booksBusy();
    }
}

} // namespace webview
