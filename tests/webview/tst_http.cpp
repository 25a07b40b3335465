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

// What the parser makes of bytes fed in one piece or one byte at a time, in one line: the
// failure's status, "more", or the request: method, decoded path (a NUL as \0), "fuera" for a
// path outside the page's names, the query's nombre, the body announced ("cuerpo=?" chunked).
QByteArray summary(const QByteArray &bytes, bool byteByByte) {
    RequestParser parser;
    if (byteByByte) {
        for (qsizetype i = 0; i < bytes.size() && parser.state() == RequestParser::State::NeedMore; ++i) {
            parser.feed(bytes.sliced(i, 1));
        }
    } else {
        parser.feed(bytes);
    }
    if (parser.state() == RequestParser::State::Failed) {
        return QByteArray::number(parser.failure());
    }
    if (parser.state() != RequestParser::State::Complete) {
        return "more";
    }
    const Request r = parser.take();
    QByteArray line = r.method + ' ' + QByteArray(r.path).replace('\0', "\\0");
    line += r.pathSafe ? "" : " fuera";
    if (r.query.contains(QStringLiteral("nombre"))) {
        line += " nombre=" + r.query.value(QStringLiteral("nombre")).toUtf8();
    }
    if (r.hasBody()) {
        line += " cuerpo=" + (r.chunked ? QByteArray("?") : QByteArray::number(r.contentLength));
    }
    return line;
}

} // namespace

class TestHttp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void requests_data();
    void requests();
    void pipelinedAndCookies();
    void rateLimit();
    void wrongSecretsThrottled();
};

void TestHttp::requests_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("read");
    const QByteArray longTarget = "/" + QByteArray(webview::http::kMaxRequestLine, 'a');
    const QByteArray atLimit = longTarget.first(webview::http::kMaxRequestLine - 13); // the line: 2 KiB
    const QByteArray within = kHost + "X-Relleno: " + QByteArray(8000, 'x') + "\r\n";
    const struct {
        const char *row;
        QByteArray bytes;
        QByteArray read;
    } table[] = {
        // Good requests.
        {"plain", get("/"), "GET /"},
        {"head", "HEAD /app.js HTTP/1.1\r\n" + kHost + "\r\n", "HEAD /app.js"},
        {"the query decoded", get("/emparejar?codigo=K7&nombre=Tel%C3%A9fono+de+Ana"),
         "GET /emparejar nombre=Tel\xc3\xa9"
         "fono de Ana"},
        {"a repeated name keeps the first", get("/emparejar?nombre=uno&nombre=dos"), "GET /emparejar nombre=uno"},
        {"bare LF lines", "GET / HTTP/1.1\nHost: x\n\n", "GET /"},
        {"HTTP/1.0 without Host", "GET / HTTP/1.0\r\n\r\n", "GET /"},
        {"empty lines before it", "\r\n\r\n" + get("/"), "GET /"},
        {"the line at its limit", get(atLimit), "GET " + atLimit},
        {"headers just within", get("/", within), "GET /"},
        {"not finished", "GET / HTTP/1.1\r\nHost: x\r\n", "more"},
        // Other methods are read; the routes answer them 405.
        {"POST", "POST /api/salon HTTP/1.1\r\n" + kHost + "\r\n", "POST /api/salon"},
        {"PUT with a body", "PUT / HTTP/1.1\r\n" + kHost + "Content-Length: 5\r\n\r\nhello", "PUT / cuerpo=5"},
        {"a method in lower case is another method", "get / HTTP/1.1\r\n" + kHost + "\r\n", "get /"},
        // Bodies.
        {"a GET with a body", get("/", kHost + "Content-Length: 12\r\n"), "GET / cuerpo=12"},
        {"an empty body", get("/", kHost + "Content-Length: 0\r\n"), "GET /"},
        {"the same length twice", get("/", kHost + "Content-Length: 3\r\nContent-Length: 3\r\n"), "GET / cuerpo=3"},
        {"chunked", get("/", kHost + "Transfer-Encoding: chunked\r\n"), "GET / cuerpo=?"},
        {"two lengths", get("/", kHost + "Content-Length: 3\r\nContent-Length: 4\r\n"), "400"},
        {"a length and chunked", get("/", kHost + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n"), "400"},
        {"a negative length", get("/", kHost + "Content-Length: -1\r\n"), "400"},
        {"a length in words", get("/", kHost + "Content-Length: tres\r\n"), "400"},
        {"a length past 64 bits", get("/", kHost + "Content-Length: 99999999999999999999\r\n"), "400"},
        // Paths outside the page's own names, whatever they decode to.
        {"encoded dots", get("/%2e%2e/dbLudomat.mdb"), "GET /../dbLudomat.mdb fuera"},
        {"half-encoded dots", get("/.%2E/vista.db"), "GET /../vista.db fuera"},
        {"plain dots", get("/../dbLudomat.mdb"), "GET /../dbLudomat.mdb fuera"},
        {"double slash", get("//etc/passwd"), "GET //etc/passwd fuera"},
        {"encoded slashes", get("/%2F%2Fetc/passwd"), "GET ///etc/passwd fuera"},
        {"backslash", get("/..\\dbLudomat.mdb"), "GET /..\\dbLudomat.mdb fuera"},
        {"encoded backslash", get("/app.js%5C"), "GET /app.js\\ fuera"},
        {"NUL", get("/app.js%00.png"), "GET /app.js\\0.png fuera"},
        {"double-encoded dots stay a name", get("/%252e%252e/x"), "GET /%2e%2e/x"},
        // Malformed.
        {"no version", "GET /\r\n\r\n", "400"},
        {"a word too many", "GET / HTTP/1.1 x\r\n" + kHost + "\r\n", "400"},
        {"two spaces", "GET  / HTTP/1.1\r\n" + kHost + "\r\n", "400"},
        {"a method of no token", "G@T / HTTP/1.1\r\n" + kHost + "\r\n", "400"},
        {"an absolute target", get("http://tienda/"), "400"},
        {"an asterisk", "OPTIONS * HTTP/1.1\r\n" + kHost + "\r\n", "400"},
        {"HTTP/2", "GET / HTTP/2.0\r\n" + kHost + "\r\n", "505"},
        {"not HTTP", "GET / FOO/1.1\r\n" + kHost + "\r\n", "400"},
        {"HTTP/1.1 without Host", "GET / HTTP/1.1\r\n\r\n", "400"},
        {"two Hosts", get("/", kHost + kHost), "400"},
        {"a header without colon", get("/", kHost + "Nada\r\n"), "400"},
        {"a folded header", get("/", kHost + "X-A: 1\r\n 2\r\n"), "400"},
        {"a blank before the colon", get("/", "Host : x\r\n"), "400"},
        {"NUL in a header", get("/", kHost + QByteArray("X-A: a\0b\r\n", 10)), "400"},
        {"a bad escape", get("/%zz"), "400"},
        {"a cut escape", get("/a%4"), "400"},
        {"a bad escape in the query", get("/emparejar?nombre=%G1"), "400"},
        {"a byte past ASCII", get("/ca\xc3\xb1"), "400"},
        {"a fragment", get("/#x"), "400"},
        // Oversized.
        {"a line too long", get(longTarget), "414"},
        {"a line too long, unfinished", "GET " + longTarget, "414"},
        {"headers too big", get("/", kHost + "X-Relleno: " + QByteArray(9000, 'x') + "\r\n"), "431"},
        {"headers too big, unfinished", "GET / HTTP/1.1\r\n" + QByteArray(200, 'x') + ": " + QByteArray(8200, 'x'),
         "431"},
        {"many small headers", get("/", kHost + QByteArray("X-A: b\r\n").repeated(1200)), "431"},
    };
    for (const auto &r : table) {
        QTest::newRow(r.row) << r.bytes << r.read;
    }
}

void TestHttp::requests() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, read);
    QCOMPARE(summary(bytes, false), read);
    QCOMPARE(summary(bytes, true), read);
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
