#pragma once

#include "webview/Http.h"
#include "webview/Throttle.h"

#include <QByteArray>
#include <QString>
#include <memory>

// What the view answers to each request it reads: an exact table of paths, GET and HEAD only.
//   /                       the page for a paired device, else the pairing form
//   /emparejar              pairs with ?codigo=&nombre= (the form again while nombre is missing)
//   /app.js /app.css /icono.svg   the page's files (Qt resources under :/vista/), no cookie needed
//   /api/salon /api/hoy /api/dias?n=7|30 /api/registro   JSON for a paired device
namespace webview {

class DeviceStore;
class ViewServerBooks;

inline constexpr char kCookieName[] = "ludomat_vista";

class Routes final {
public:
    // Throws data::DbError when vista.db cannot be opened.
    Routes(const QString &databasePath, const QString &devicesPath);
    ~Routes();
    Routes(const Routes &) = delete;
    Routes &operator=(const Routes &) = delete;

    // Opens the books and starts the journal's first check. Throws data::DbError.
    void openBooks();
    // address: the peer's, as the limits know it; nowMs: a monotonic clock.
    http::Response answer(const http::Request &request, const QByteArray &address, qint64 nowMs);

private:
    http::Response api(const http::Request &request, const QByteArray &address, qint64 nowMs);
    http::Response pairing(const http::Request &request, const QByteArray &address, qint64 nowMs);
    http::Response start(const http::Request &request, const QByteArray &address, qint64 nowMs);
    // Whether the request's cookie holds a paired device's token; a wrong one counts as a guess.
    enum class Holder { None, Paired, Wrong };
    Holder holder(const http::Request &request, const QByteArray &address, qint64 nowMs);

    std::unique_ptr<DeviceStore> devices_;
    std::unique_ptr<ViewServerBooks> books_;
    FailureThrottle failures_;
};

// A file of the page from :/vista/, with its type; 404 when the build holds none.
http::Response staticFile(const QString &name);
// The pairing form, the code filled in when given.
http::Response pairingForm(int status, const QString &code, const QString &note);

} // namespace webview
