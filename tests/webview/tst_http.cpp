// The view's HTTP read from plain bytes, whole and byte by byte, and its limits on a clock moved
// by hand.
#include "webview/Http.h"
#include "webview/Throttle.h"

#include <QTest>

using webview::http::Request;
using webview::http::RequestParser;

namespace {

const QByteArray kHost = "Host: tienda:8443\r\n";

QByteArray get(const QByteArray &target, const QByteArray &headers = kHost) {
    return "GET " + target + " HTTP/1.1\r\n" + headers + "\r\n";
}

// What the parser makes of bytes fed in one piece or one byte at a time: "ok" or the failure's
// status, and the request when it was read.
struct Outcome {
    QByteArray result;
    Request request;
};

Outcome parse(const QByteArray &bytes, bool byteByByte) {
    RequestParser parser;
    if (byteByByte) {
        for (qsizetype i = 0; i < bytes.size() && parser.state() == RequestParser::State::NeedMore; ++i) {
            parser.feed(bytes.sliced(i, 1));
        }
    } else {
        parser.feed(bytes);
    }
    switch (parser.state()) {
    case RequestParser::State::Complete:
        return {"ok", parser.take()};
    case RequestParser::State::Failed:
        return {QByteArray::number(parser.failure()), {}};
    default:
        return {"more", {}};
    }
}

webview::http::Response closing(webview::http::Response response) {
    response.close = true;
    return response;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requests_data();
    void requests();
    void pipelinedAndCookies();
    void responsesCarryTheHeaders();
    void rateLimit();
    void wrongSecretsThrottled();
};

void TestHttp::requests_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("result"); // "ok", "more" or the failure's status
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("path"); // decoded
    QTest::addColumn<bool>("safe");
    QTest::addColumn<QString>("nombre"); // the query's "nombre"
    QTest::addColumn<qint64>("length");  // the body announced (-1: of unknown length)
    const QByteArray longTarget = "/" + QByteArray(webview::http::kMaxRequestLine, 'a');
    const struct {
        const char *row;
        QByteArray bytes;
        const char *result;
        const char *method;
        QByteArray path;
        bool safe;
        QString nombre;
        qint64 length;
    } table[] = {
        // Good requests.
        {"plain", get("/"), "ok", "GET", "/", true, {}, 0},
        {"head", "HEAD /app.js HTTP/1.1\r\n" + kHost + "\r\n", "ok", "HEAD", "/app.js", true, {}, 0},
        {"the query decoded", get("/emparejar?codigo=K7QM4XPD&nombre=Tel%C3%A9fono+de+Ana"), "ok", "GET", "/emparejar",
         true, QStringLiteral("Teléfono de Ana"), 0},
        {"a repeated name keeps the first", get("/emparejar?nombre=uno&nombre=dos"), "ok", "GET", "/emparejar", true,
         QStringLiteral("uno"), 0},
        {"bare LF lines", "GET / HTTP/1.1\nHost: x\n\n", "ok", "GET", "/", true, {}, 0},
        {"HTTP/1.0 without Host", "GET / HTTP/1.0\r\n\r\n", "ok", "GET", "/", true, {}, 0},
        {"empty lines before it", "\r\n\r\n" + get("/"), "ok", "GET", "/", true, {}, 0},
        {"the line at its limit",
         get(longTarget.first(webview::http::kMaxRequestLine - 13)),
         "ok",
         "GET",
         longTarget.first(webview::http::kMaxRequestLine - 13),
         true,
         {},
         0},
        {"headers just within",
         get("/", kHost + "X-Relleno: " + QByteArray(8000, 'x') + "\r\n"),
         "ok",
         "GET",
         "/",
         true,
         {},
         0},
        {"not finished", "GET / HTTP/1.1\r\nHost: x\r\n", "more", "", "", true, {}, 0},
        // Other methods are read; the routes answer them 405.
        {"POST", "POST /api/salon HTTP/1.1\r\n" + kHost + "\r\n", "ok", "POST", "/api/salon", true, {}, 0},
        {"PUT with a body",
         "PUT / HTTP/1.1\r\n" + kHost + "Content-Length: 5\r\n\r\nhello",
         "ok",
         "PUT",
         "/",
         true,
         {},
         5},
        {"DELETE", "DELETE /api/salon HTTP/1.1\r\n" + kHost + "\r\n", "ok", "DELETE", "/api/salon", true, {}, 0},
        {"a method in lower case is another method",
         "get / HTTP/1.1\r\n" + kHost + "\r\n",
         "ok",
         "get",
         "/",
         true,
         {},
         0},
        // Bodies.
        {"a GET with a body", get("/", kHost + "Content-Length: 12\r\n"), "ok", "GET", "/", true, {}, 12},
        {"an empty body", get("/", kHost + "Content-Length: 0\r\n"), "ok", "GET", "/", true, {}, 0},
        {"the same length twice",
         get("/", kHost + "Content-Length: 3\r\nContent-Length: 3\r\n"),
         "ok",
         "GET",
         "/",
         true,
         {},
         3},
        {"chunked", get("/", kHost + "Transfer-Encoding: chunked\r\n"), "ok", "GET", "/", true, {}, -1},
        {"two lengths", get("/", kHost + "Content-Length: 3\r\nContent-Length: 4\r\n"), "400", "", "", true, {}, 0},
        {"a length and chunked",
         get("/", kHost + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n"),
         "400",
         "",
         "",
         true,
         {},
         0},
        {"a negative length", get("/", kHost + "Content-Length: -1\r\n"), "400", "", "", true, {}, 0},
        {"a length in words", get("/", kHost + "Content-Length: tres\r\n"), "400", "", "", true, {}, 0},
        {"a length past 64 bits",
         get("/", kHost + "Content-Length: 99999999999999999999\r\n"),
         "400",
         "",
         "",
         true,
         {},
         0},
        // Paths outside the page's own names, whatever they decode to.
        {"encoded dots", get("/%2e%2e/dbLudomat.mdb"), "ok", "GET", "/../dbLudomat.mdb", false, {}, 0},
        {"half-encoded dots", get("/.%2E/vista.db"), "ok", "GET", "/../vista.db", false, {}, 0},
        {"plain dots", get("/../dbLudomat.mdb"), "ok", "GET", "/../dbLudomat.mdb", false, {}, 0},
        {"double slash", get("//etc/passwd"), "ok", "GET", "//etc/passwd", false, {}, 0},
        {"encoded slashes", get("/%2F%2Fetc/passwd"), "ok", "GET", "///etc/passwd", false, {}, 0},
        {"backslash", get("/..\\dbLudomat.mdb"), "ok", "GET", "/..\\dbLudomat.mdb", false, {}, 0},
        {"encoded backslash", get("/app.js%5C"), "ok", "GET", "/app.js\\", false, {}, 0},
        {"NUL", get("/app.js%00.png"), "ok", "GET", QByteArray("/app.js\0.png", 12), false, {}, 0},
        {"double-encoded dots stay a name", get("/%252e%252e/x"), "ok", "GET", "/%2e%2e/x", true, {}, 0},
        // Malformed.
        {"no version", "GET /\r\n\r\n", "400", "", "", true, {}, 0},
        {"a word too many", "GET / HTTP/1.1 x\r\n" + kHost + "\r\n", "400", "", "", true, {}, 0},
        {"two spaces", "GET  / HTTP/1.1\r\n" + kHost + "\r\n", "400", "", "", true, {}, 0},
        {"a method of no token", "G@T / HTTP/1.1\r\n" + kHost + "\r\n", "400", "", "", true, {}, 0},
        {"an absolute target", get("http://tienda/"), "400", "", "", true, {}, 0},
        {"an asterisk", "OPTIONS * HTTP/1.1\r\n" + kHost + "\r\n", "400", "", "", true, {}, 0},
        {"HTTP/2", "GET / HTTP/2.0\r\n" + kHost + "\r\n", "505", "", "", true, {}, 0},
        {"not HTTP", "GET / FOO/1.1\r\n" + kHost + "\r\n", "400", "", "", true, {}, 0},
        {"HTTP/1.1 without Host", "GET / HTTP/1.1\r\n\r\n", "400", "", "", true, {}, 0},
        {"two Hosts", get("/", kHost + kHost), "400", "", "", true, {}, 0},
        {"a header without colon", get("/", kHost + "Nada\r\n"), "400", "", "", true, {}, 0},
        {"a folded header", get("/", kHost + "X-A: 1\r\n 2\r\n"), "400", "", "", true, {}, 0},
        {"a blank before the colon", get("/", "Host : x\r\n"), "400", "", "", true, {}, 0},
        {"NUL in a header", get("/", kHost + QByteArray("X-A: a\0b\r\n", 10)), "400", "", "", true, {}, 0},
        {"a bad escape", get("/%zz"), "400", "", "", true, {}, 0},
        {"a cut escape", get("/a%4"), "400", "", "", true, {}, 0},
        {"a bad escape in the query", get("/emparejar?nombre=%G1"), "400", "", "", true, {}, 0},
        {"a byte past ASCII", get("/ca\xc3\xb1"), "400", "", "", true, {}, 0},
        {"a fragment", get("/#x"), "400", "", "", true, {}, 0},
        // Oversized.
        {"a line too long", get(longTarget), "414", "", "", true, {}, 0},
        {"a line too long, unfinished", "GET " + longTarget, "414", "", "", true, {}, 0},
        {"headers too big",
         get("/", kHost + "X-Relleno: " + QByteArray(9000, 'x') + "\r\n"),
         "431",
         "",
         "",
         true,
         {},
         0},
        {"headers too big, unfinished",
         "GET / HTTP/1.1\r\n" + QByteArray(200, 'x') + ": " + QByteArray(8200, 'x'),
         "431",
         "",
         "",
         true,
         {},
         0},
        {"many small headers", get("/", kHost + QByteArray("X-A: b\r\n").repeated(1200)), "431", "", "", true, {}, 0},
    };
    for (const auto &r : table) {
        QTest::newRow(r.row) << r.bytes << QByteArray(r.result) << QByteArray(r.method) << r.path << r.safe << r.nombre
                             << r.length;
    }
}

void TestHttp::requests() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, result);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, path);
    QFETCH(bool, safe);
    QFETCH(QString, nombre);
    QFETCH(qint64, length);
    for (const bool byteByByte : {false, true}) {
        const Outcome outcome = parse(bytes, byteByByte);
        QCOMPARE(outcome.result, result);
        if (result != "ok") {
            continue;
        }
        QCOMPARE(outcome.request.method, method);
        QCOMPARE(outcome.request.path, path);
        QCOMPARE(outcome.request.pathSafe, safe);
        QCOMPARE(outcome.request.query.value(QStringLiteral("nombre")), nombre);
        QCOMPARE(outcome.request.chunked ? -1 : outcome.request.contentLength, length);
        QCOMPARE(outcome.request.hasBody(), length != 0);
    }
}

// Two requests in one read, the cookie among others, keep-alive by version.
void TestHttp::pipelinedAndCookies() {
    RequestParser parser;
    parser.feed(get("/api/salon", kHost + "Cookie: a=1; ludomat_vista=TOKEN_1; b=2\r\n") +
                "GET /api/hoy HTTP/1.0\r\nCookie: ludomat_vista=\r\n\r\nGET /x");
    QCOMPARE(parser.state(), RequestParser::State::Complete);
    const Request first = parser.take();
    QCOMPARE(first.path, QByteArray("/api/salon"));
    QCOMPARE(first.cookie("ludomat_vista"), QByteArray("TOKEN_1"));
    QCOMPARE(first.cookie("ludomat"), QByteArray());
    QVERIFY(first.keepAlive());
    QCOMPARE(parser.state(), RequestParser::State::Complete);
    const Request second = parser.take();
    QCOMPARE(second.path, QByteArray("/api/hoy"));
    QVERIFY(second.cookie("ludomat_vista").isEmpty());
    QVERIFY(!second.keepAlive());
    QCOMPARE(parser.state(), RequestParser::State::NeedMore);
    QVERIFY(parser.midRequest());
    parser.feed(" HTTP/1.1\r\nHost: y\r\nConnection: close\r\n\r\n");
    const Request third = parser.take();
    QCOMPARE(third.path, QByteArray("/x"));
    QVERIFY(!third.keepAlive());
    QVERIFY(!parser.midRequest());
}

void TestHttp::responsesCarryTheHeaders() {
    using webview::http::Response;
    const struct {
        const char *row;
        Response response;
        bool headOnly;
        bool keepAlive;
        QList<QByteArray> present;
        QList<QByteArray> absent;
    } table[] = {
        {"an error page",
         webview::http::errorResponse(404, QStringLiteral("No existe esa página."), false),
         false,
         true,
         {"HTTP/1.1 404 Not Found\r\n", "Content-Type: text/html; charset=utf-8\r\n", "Connection: keep-alive\r\n",
          "Cache-Control: no-store\r\n", "No existe esa p\xc3\xa1gina."},
         {}},
        {"JSON, closing",
         closing(webview::http::errorResponse(503, QStringLiteral("Ocupado"), true)),
         false,
         true,
         {"HTTP/1.1 503 Service Unavailable\r\n", "application/json", "Connection: close\r\n",
          "{\"error\":\"Ocupado\"}"},
         {}},
        {"HEAD: the GET's length, no body",
         webview::http::jsonResponse(200, "{\"a\":1}"),
         true,
         false,
         {"Content-Length: 7\r\n"},
         {"{\"a\":1}"}},
        {"its own Cache-Control",
         Response{200, "text/css", "b{}", {{"Cache-Control", "private, max-age=300"}}, false},
         false,
         true,
         {"Cache-Control: private, max-age=300\r\n"},
         {"no-store"}},
    };
    for (const auto &r : table) {
        const QByteArray bytes = webview::http::serialize(r.response, r.headOnly, r.keepAlive);
        const QList<QByteArray> always = {
            "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
            "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'\r\n",
            "X-Content-Type-Options: nosniff\r\n", "Referrer-Policy: no-referrer\r\n", "X-Frame-Options: DENY\r\n"};
        for (const QByteArray &text : always + r.present) {
            QVERIFY2(bytes.contains(text),
                     qPrintable(QStringLiteral("%1: %2 in %3")
                                    .arg(QLatin1String(r.row), QString::fromUtf8(text), QString::fromUtf8(bytes))));
        }
        for (const QByteArray &text : r.absent) {
            QVERIFY2(!bytes.contains(text), r.row);
        }
        QVERIFY2(bytes.count("\r\n\r\n") == 1, r.row);
    }
}

// Twenty a second on average, forty at once, each address on its own.
void TestHttp::rateLimit() {
    webview::RateLimiter limiter;
    qint64 now = 1000;
    for (int i = 0; i < 40; ++i) {
        QCOMPARE(limiter.take("10.0.0.5", now), 0);
    }
    QCOMPARE(limiter.take("10.0.0.5", now), 1);
    QCOMPARE(limiter.take("10.0.0.6", now), 0);
    now += 50; // one more request's worth
    QCOMPARE(limiter.take("10.0.0.5", now), 0);
    QCOMPARE(limiter.take("10.0.0.5", now), 1);
    // A phone polling twice a second is never turned away.
    for (int i = 0; i < 200; ++i) {
        now += 500;
        QCOMPARE(limiter.take("10.0.0.7", now), 0);
    }
    now += 10'000;
    for (int i = 0; i < 40; ++i) {
        QCOMPARE(limiter.take("10.0.0.5", now), 0);
    }
}

void TestHttp::wrongSecretsThrottled() {
    webview::FailureThrottle throttle;
    qint64 now = 0;
    // Five different wrong codes are free.
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(throttle.waitMs("10.0.0.5", now), 0);
        throttle.failed("10.0.0.5", "code" + QByteArray::number(i), now);
        now += 100;
    }
    QCOMPARE(throttle.waitMs("10.0.0.5", now), 2000 - 100);
    QCOMPARE(throttle.waitMs("10.0.0.9", now), 0);
    // Then the wait doubles with each new guess, up to half a minute.
    const qint64 waits[] = {4000, 8000, 16000, 30000, 30000};
    for (int i = 0; i < 5; ++i) {
        now += throttle.waitMs("10.0.0.5", now);
        throttle.failed("10.0.0.5", "guess" + QByteArray::number(i), now);
        QCOMPARE(throttle.waitMs("10.0.0.5", now), waits[i]);
    }
    // The same wrong token again (a revoked phone still polling) is no new guess.
    webview::FailureThrottle revoked;
    for (int i = 0; i < 100; ++i) {
        revoked.failed("10.0.0.8", "old token", now + i);
    }
    QCOMPARE(revoked.waitMs("10.0.0.8", now + 100), 0);
    // A right one clears the address.
    throttle.succeeded("10.0.0.5");
    QCOMPARE(throttle.waitMs("10.0.0.5", now), 0);
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
