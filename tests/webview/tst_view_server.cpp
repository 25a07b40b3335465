// The owner's view as a phone meets it: the real `ludomat --serve` on a free port, over real TLS
// checked against the certificate the program made in the data folder.
#include "SqliteFile.h"
#include "TestSupport.h"
#include "data/Database.h"
#include "webview/Certificate.h"
#include "webview/Devices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>
#include <csignal>
#include <sys/stat.h>

namespace {

const QDateTime nowUtc() {
    return QDateTime::currentDateTimeUtc();
}

struct Reply {
    int status = 0; // 0: no answer
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    bool closed = false; // the server ended the connection after it

    QByteArray header(const QByteArray &name) const {
        for (const auto &[key, value] : headers) {
            if (key == name.toLower()) {
                return value;
            }
        }
        return {};
    }
    QString error() const { return QJsonDocument::fromJson(body).object().value(QStringLiteral("error")).toString(); }
};

// `ludomat --serve` on a data folder, until the object goes. Everything it printed is kept.
class View {
public:
    explicit View(const QString &folder, const QStringList &more = {}) {
        process.setProgram(QStringLiteral(LUDOMAT_EXE));
        process.setArguments(QStringList{"--serve", "--data-dir", folder, "--port", "0", "--bind", "127.0.0.1"} + more);
        process.start();
    }
    ~View() { stop(); }
    // Waits for its LISTO line.
    bool listening() {
        QElapsedTimer waited;
        waited.start();
        while (!out.contains('\n') && waited.elapsed() < 20000 && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(200);
            collect();
        }
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^LISTO (\\d+) ((?:[0-9A-F]{2}:){31}[0-9A-F]{2})\n$"))
                .match(QString::fromLatin1(out));
        if (!m.hasMatch()) {
            qWarning("no LISTO: %s %s", out.constData(), err.constData());
            return false;
        }
        port = quint16(m.captured(1).toUInt());
        fingerprint = m.captured(2);
        return true;
    }
    void collect() {
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
    }
    int stop() {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(10000);
        }
        collect();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QProcess process;
    QByteArray out, err;
    quint16 port = 0;
    QString fingerprint;
};

// A phone's connection: TLS to the view, the peer's certificate checked against trusted.
class Client {
public:
    // from: the phone's own address on the loopback (each test's phones are others to the limits).
    Client(quint16 port, const QSslCertificate &trusted, const char *from = "127.0.0.1")
        : port_(port), from_(QString::fromLatin1(from)) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setCaCertificates({trusted});
        tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket.setSslConfiguration(tls);
    }
    bool open() {
        socket.bind(from_);
        socket.connectToHostEncrypted(QStringLiteral("localhost"), port_);
        return socket.waitForEncrypted(10000);
    }
    Reply send(const QByteArray &raw, int timeoutMs = 10000) {
        if (socket.state() != QAbstractSocket::ConnectedState && !open()) {
            return {};
        }
        socket.write(raw);
        return read(timeoutMs);
    }
    Reply read(int timeoutMs = 10000) {
        QElapsedTimer waited;
        waited.start();
        Reply reply;
        qsizetype headEnd = -1;
        qint64 length = -1;
        while (waited.elapsed() < timeoutMs) {
            buffer_ += socket.readAll();
            if (headEnd < 0 && (headEnd = buffer_.indexOf("\r\n\r\n")) >= 0) {
                const QList<QByteArray> lines = buffer_.first(headEnd).split('\n');
                reply.status = lines.value(0).split(' ').value(1).toInt();
                for (const QByteArray &line : lines.mid(1)) {
                    const qsizetype colon = line.indexOf(':');
                    reply.headers.append({line.first(colon).toLower(), line.mid(colon + 1).trimmed()});
                }
                length = reply.header("content-length").toLongLong();
                headEnd += 4;
            }
            if (headEnd >= 0 && buffer_.size() - headEnd >= (headOnly ? 0 : length)) {
                const qint64 taken = headOnly ? 0 : length;
                reply.body = buffer_.mid(headEnd, taken);
                buffer_.remove(0, headEnd + taken);
                break;
            }
            if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0) {
                break;
            }
            socket.waitForReadyRead(100);
        }
        if (reply.header("connection") == "close") {
            socket.waitForDisconnected(3000);
        }
        reply.closed = socket.state() != QAbstractSocket::ConnectedState;
        return reply;
    }
    Reply get(const QByteArray &target, const QByteArray &token = {}) {
        return send("GET " + target + " HTTP/1.1\r\nHost: localhost\r\n" +
                    (token.isEmpty() ? QByteArray() : "Cookie: ludomat_vista=" + token + "\r\n") + "\r\n");
    }
    QSslSocket socket;
    bool headOnly = false;

private:
    quint16 port_;
    QHostAddress from_;
    QByteArray buffer_;
};

QSslCertificate certificateIn(const QString &folder) {
    QFile file(QDir(folder).filePath(webview::kOwnCertificateFile));
    return file.open(QIODevice::ReadOnly) ? QSslCertificate(file.readAll(), QSsl::Pem) : QSslCertificate();
}

// A phone paired through the view with a code the program made: its token.
QByteArray pairPhone(Client &phone, webview::DeviceStore &program) {
    const QString code = program.newPairingCode(QDateTime::currentDateTimeUtc()).code;
    const QByteArray cookie = phone.get("/emparejar?codigo=" + code.toLatin1() + "&nombre=t").header("set-cookie");
    return cookie.startsWith("ludomat_vista=") ? cookie.split(';').value(0).mid(14) : QByteArray();
}

// Asks every quarter of a second (within the rate a phone may ask at) until the answer has that
// status or the time is up: the last answer.
Reply until(int status, const std::function<Reply()> &ask, int timeoutMs = 15000) {
    QElapsedTimer waited;
    waited.start();
    Reply reply = ask();
    while (reply.status != status && waited.elapsed() < timeoutMs) {
        QTest::qWait(250);
        reply = ask();
    }
    return reply;
}

// Whether the process ended (gone, or a zombie nobody reaped yet).
bool ended(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

const QList<QByteArray> kSecurityHeaders[] = {
    {"content-security-policy", "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                                "connect-src 'self'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'"},
    {"x-content-type-options", "nosniff"},
    {"referrer-policy", "no-referrer"},
    {"x-frame-options", "DENY"},
};

} // namespace

class TestViewServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void certificateOfTheFolder();
    void answers_data();
    void answers();
    void pairingAndRevocation();
    void wrongCodesThrottled();
    void busyBooks();
    void slowClientCut();
    void floodAndConnections();
    void ownersCertificate();
    void startFailures_data();
    void startFailures();
    void endsWithItsParent();

private:
    QSslCertificate folderCertificate() const;
    // Nothing the view printed holds a secret; it printed its one line.
    void checkPrinted(View &view, const QList<QByteArray> &secrets);
    std::unique_ptr<testing::TestPlatform> t_;
    // The program's own handle on the books while the view runs, as in the shop.
    std::unique_ptr<data::Database> program_;
    std::unique_ptr<View> view_;
};

void TestViewServer::initTestCase() {
    t_ = std::make_unique<testing::TestPlatform>();
    program_ = data::Database::open(t_->databasePath());
    view_ = std::make_unique<View>(t_->folder.path());
    QVERIFY(view_->listening());
}

void TestViewServer::cleanupTestCase() {
    QCOMPARE(view_->stop(), 0);
    checkPrinted(*view_, {});
}

QSslCertificate TestViewServer::folderCertificate() const {
    return certificateIn(t_->folder.path());
}

void TestViewServer::checkPrinted(View &view, const QList<QByteArray> &secrets) {
    view.collect();
    QCOMPARE(view.out.count('\n'), 1);
    QVERIFY(view.out.startsWith("LISTO "));
    for (const QByteArray &secret : secrets) {
        QVERIFY(!secret.isEmpty());
        QVERIFY2(!view.out.contains(secret) && !view.err.contains(secret), secret.constData());
    }
    QVERIFY2(!view.err.contains("GET ") && !view.err.contains("codigo="), view.err.constData());
}

// The program's own certificate: made in the data folder, its key private, the fingerprint the
// one printed, names a phone reaches the shop by; a client that does not trust it is refused.
void TestViewServer::certificateOfTheFolder() {
    const QSslCertificate certificate = folderCertificate();
    QVERIFY(!certificate.isNull());
    QCOMPARE(webview::fingerprintText(certificate), view_->fingerprint);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(t_->folder.filePath(webview::kOwnKeyFile)).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
    const auto names = certificate.subjectAlternativeNames();
    QVERIFY(names.values(QSsl::DnsEntry).contains(QStringLiteral("localhost")));
    QVERIFY(names.values(QSsl::IpAddressEntry).contains(QStringLiteral("127.0.0.1")));
    QVERIFY(certificate.expiryDate() > nowUtc().addYears(9));
    QCOMPARE(certificate.publicKey().algorithm(), QSsl::Ec);
    // Read back the same, never made again.
    QCOMPARE(webview::fingerprintText(webview::ownCertificate(t_->folder.path()).certificate), view_->fingerprint);

    Client trusting(view_->port, certificate);
    QVERIFY2(trusting.open(), qPrintable(trusting.socket.errorString()));
    QVERIFY(trusting.socket.sessionProtocol() >= QSsl::TlsV1_2);
    Client stranger(view_->port, QSslCertificate());
    QVERIFY(!stranger.open());
    QVERIFY(!stranger.socket.sslHandshakeErrors().isEmpty());
}

void TestViewServer::answers_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("header"); // "name: value" that must be there
    QTest::addColumn<QByteArray>("body");   // a part of the body
    const QByteArray host = "Host: localhost\r\n";
    const auto get = [&](const QByteArray &target) { return "GET " + target + " HTTP/1.1\r\n" + host + "\r\n"; };
    const struct {
        const char *row;
        QByteArray request;
        int status;
        QByteArray header;
        QByteArray body;
    } table[] = {
        {"POST", "POST /api/salon HTTP/1.1\r\n" + host + "Content-Length: 2\r\n\r\n{}", 405, "allow: GET, HEAD",
         "\"error\""},
        {"PUT", "PUT / HTTP/1.1\r\n" + host + "\r\n", 405, "allow: GET, HEAD", "<html"},
        {"DELETE", "DELETE /api/salon HTTP/1.1\r\n" + host + "\r\n", 405, "allow: GET, HEAD", ""},
        {"the books", get("/dbLudomat.mdb"), 404, "", ""},
        {"the devices", get("/vista.db"), 404, "", ""},
        {"encoded dots", get("/%2e%2e/dbLudomat.mdb"), 404, "", ""},
        {"dots to the key", get("/../vista-clave.pem"), 404, "", ""},
        {"double slash", get("//etc/passwd"), 404, "", ""},
        {"backslash", get("/..\\dbLudomat.mdb"), 404, "", ""},
        {"NUL", get("/app.js%00"), 404, "", ""},
        {"the resource prefix", get("/:/vista/app.js"), 404, "", ""},
        {"no cookie: no data", get("/api/salon"), 401, "content-type: application/json; charset=utf-8",
         "no est\xc3\xa1 emparejado o fue revocado"},
        {"a made-up token", "GET /api/hoy HTTP/1.1\r\n" + host + "Cookie: ludomat_vista=inventado\r\n\r\n", 401, "",
         "\"error\""},
        {"no cookie: the pairing form", get("/"), 200, "cache-control: no-store", "Emparejar este dispositivo"},
        {"the code filled in", get("/emparejar?codigo=K7QM%3Cb%3E"), 200, "", "value=\"K7QM&lt;b&gt;\""},
        {"HEAD", "HEAD / HTTP/1.1\r\n" + host + "\r\n", 200, "content-type: text/html; charset=utf-8", ""},
        {"a body with a GET", "GET / HTTP/1.1\r\n" + host + "Content-Length: 3\r\n\r\nabc", 413, "connection: close",
         ""},
        {"headers too big", "GET / HTTP/1.1\r\n" + host + "X-Relleno: " + QByteArray(9000, 'x') + "\r\n\r\n", 431,
         "connection: close", ""},
        {"a line too long", get("/" + QByteArray(3000, 'a')), 414, "connection: close", ""},
        {"not HTTP", "hola\r\n\r\n", 400, "connection: close", "no se entiende"},
    };
    for (const auto &r : table) {
        QTest::newRow(r.row) << r.request << r.status << r.header << r.body;
    }
}

void TestViewServer::answers() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);
    Client client(view_->port, folderCertificate());
    client.headOnly = request.startsWith("HEAD");
    const Reply reply = client.send(request);
    QCOMPARE(reply.status, status);
    for (const QList<QByteArray> &pair : kSecurityHeaders) {
        QCOMPARE(reply.header(pair[0]), pair[1]);
    }
    if (!header.isEmpty()) {
        const qsizetype colon = header.indexOf(':');
        QCOMPARE(reply.header(header.first(colon)), header.mid(colon + 2));
    }
    QVERIFY2(reply.body.contains(body), reply.body.constData());
    if (client.headOnly) {
        QVERIFY(reply.body.isEmpty());
        QVERIFY(reply.header("content-length").toInt() > 0);
    }
    // A refusal that left no body unread keeps the connection for the next request.
    if (!reply.closed) {
        QCOMPARE(client.get("/app.css").status, QFile::exists(QStringLiteral(":/vista/app.css")) ? 200 : 404);
    }
}

// The program makes a code; the phone pairs with it and gets its cookie; the program revokes it.
void TestViewServer::pairingAndRevocation() {
    webview::DeviceStore program(t_->folder.filePath(webview::kDevicesFileName));
    const QString code = program.newPairingCode(nowUtc()).code;
    Client phone(view_->port, folderCertificate(), "127.0.0.2");
    const Reply paired = phone.get("/emparejar?codigo=" + code.toLatin1() + "&nombre=Tel%C3%A9fono+de+Ana");
    QCOMPARE(paired.status, 200);
    QVERIFY(paired.body.contains("Dispositivo emparejado"));
    const QByteArray cookie = paired.header("set-cookie");
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^ludomat_vista=([A-Za-z0-9_-]{43,}); Path=/; Max-Age=31536000; HttpOnly; "
                                          "Secure; SameSite=Strict$"))
            .match(QString::fromLatin1(cookie));
    QVERIFY2(m.hasMatch(), cookie.constData());
    const QByteArray token = m.captured(1).toLatin1();
    QCOMPARE(paired.header("cache-control"), QByteArray("no-store"));

    // The data, for this device only.
    const struct {
        const char *target;
        int status;
    } routes[] = {{"/api/salon", 200},    {"/api/hoy", 200},  {"/api/dias?n=7", 200}, {"/api/dias?n=30", 200},
                  {"/api/dias?n=8", 400}, {"/api/dias", 400}, {"/api/nada", 404}};
    for (const auto &route : routes) {
        const Reply reply = phone.get(route.target, token);
        QVERIFY2(reply.status == route.status, qPrintable(QStringLiteral("%1: %2 %3")
                                                              .arg(QLatin1String(route.target))
                                                              .arg(reply.status)
                                                              .arg(QString::fromUtf8(reply.body))));
        QVERIFY2(reply.header("content-type") == "application/json; charset=utf-8", route.target);
        QVERIFY2(!QJsonDocument::fromJson(reply.body).isNull(), route.target);
    }
    // The journal once its check on the worker has ended.
    const Reply journal = until(200, [&] { return phone.get("/api/registro", token); });
    QCOMPARE(journal.status, 200);
    QVERIFY(journal.body.contains("\"verifica\":true"));
    QVERIFY(!phone.get("/", token).body.contains("Emparejar"));

    // The file keeps the token's hash, never the token; the program lists the device.
    QFile devicesFile(t_->folder.filePath(webview::kDevicesFileName));
    QVERIFY(devicesFile.open(QIODevice::ReadOnly));
    const QByteArray kept = devicesFile.readAll();
    QVERIFY(!kept.contains(token));
    QVERIFY(kept.contains(webview::tokenHash(token)));
    const QVector<webview::Device> devices = program.devices();
    QCOMPARE(devices.size(), 1);
    QCOMPARE(devices[0].name, QStringLiteral("Teléfono de Ana"));

    // The code paired once.
    Client other(view_->port, folderCertificate(), "127.0.0.3");
    const Reply again = other.get("/emparejar?codigo=" + code.toLatin1() + "&nombre=Otro");
    QVERIFY2(again.status == 403, again.body.constData());
    QVERIFY(again.body.contains("El c\xc3\xb3"
                                "digo no es v\xc3\xa1lido o ya venci\xc3\xb3"));
    QVERIFY(again.header("set-cookie").isEmpty());

    // Revoked in the program: the next request is refused, and the page asks to pair again.
    program.revoke(devices[0].id);
    const Reply revoked = phone.get("/api/salon", token);
    QCOMPARE(revoked.status, 401);
    QCOMPARE(revoked.error(), QStringLiteral("Este dispositivo no está emparejado o fue revocado."));
    QVERIFY(phone.get("/", token).body.contains("Emparejar este dispositivo"));
    view_->collect();
    checkPrinted(*view_, {token, code.toLatin1()});
}

// Wrong codes from one address are throttled as passwords are; the right one waits its turn.
void TestViewServer::wrongCodesThrottled() {
    testing::TestPlatform t;
    auto program = data::Database::open(t.databasePath());
    View view(t.folder.path());
    QVERIFY(view.listening());
    webview::DeviceStore devices(t.folder.filePath(webview::kDevicesFileName));
    const QString code = devices.newPairingCode(nowUtc()).code;
    Client phone(view.port, certificateIn(t.folder.path()));
    for (int i = 0; i < 5; ++i) {
        const QString wrong = QStringLiteral("ZZZZZZ%1%1").arg(i + 2);
        QCOMPARE(phone.get("/emparejar?codigo=" + wrong.toLatin1() + "&nombre=x").status, 403);
        if (i == 0) { // the same wrong code again is no new guess
            QCOMPARE(phone.get("/emparejar?codigo=" + wrong.toLatin1() + "&nombre=x").status, 403);
        }
    }
    const Reply throttled = phone.get("/emparejar?codigo=" + code.toLatin1() + "&nombre=x");
    QCOMPARE(throttled.status, 429);
    QVERIFY(throttled.header("retry-after").toInt() >= 1);
    // A made-up cookie is a guess as well, refused while the address waits.
    QCOMPARE(phone.get("/api/salon", "inventado").status, 429);
    // Waited out, the right code pairs.
    QCOMPARE(until(200, [&] { return phone.get("/emparejar?codigo=" + code.toLatin1() + "&nombre=x"); }).status, 200);
    QCOMPARE(view.stop(), 0);
    checkPrinted(view, {code.toLatin1()});
}

// Books another program holds exclusively when the view starts: a Spanish line and status 1;
// started again once they are free, it serves them. (While the view holds its connection, a
// writer never shuts it out: the books use WAL.)
void TestViewServer::busyBooks() {
    testing::TestPlatform t;
    QProcess holder;
    holder.start(QStringLiteral("sqlite3"), {t.databasePath()});
    QVERIFY(holder.waitForStarted());
    holder.write("PRAGMA locking_mode=EXCLUSIVE;\nBEGIN EXCLUSIVE;\nCREATE TABLE Ocupado (x);\n.print held\n");
    holder.waitForReadyRead(5000);
    const testing::Run refused =
        testing::runLudomat({"--serve", "--data-dir", t.folder.path(), "--port", "0", "--bind", "127.0.0.1"});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.startsWith(QStringLiteral("ludomat: no se pueden leer los libros")), qPrintable(refused.err));
    QVERIFY(refused.out.isEmpty());
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    View view(t.folder.path());
    QVERIFY(view.listening());
    webview::DeviceStore program(t.folder.filePath(webview::kDevicesFileName));
    Client phone(view.port, certificateIn(t.folder.path()), "127.0.0.4");
    const QByteArray token = pairPhone(phone, program);
    QVERIFY(!token.isEmpty());
    QCOMPARE(phone.get("/api/salon", token).status, 200);
}

// A client that never finishes its request is cut with 408 while another is served throughout.
void TestViewServer::slowClientCut() {
    Client slow(view_->port, folderCertificate(), "127.0.0.5");
    QVERIFY(slow.open());
    QElapsedTimer since;
    since.start();
    slow.socket.write("GET / HTTP/1.1\r\nHost: localhost\r\n");
    Client quick(view_->port, folderCertificate(), "127.0.0.6");
    int served = 0;
    // Trickling a header every second does not extend its time.
    while (since.elapsed() < 7000) {
        slow.socket.write("X-Lento: 1\r\n");
        slow.socket.flush();
        QCOMPARE(quick.get("/api/salon").status, 401);
        ++served;
        QTest::qWait(1000);
    }
    const Reply cut = slow.read(10000);
    QCOMPARE(cut.status, 408);
    QVERIFY(cut.closed);
    QVERIFY2(since.elapsed() >= 9500 && since.elapsed() < 13000, QByteArray::number(since.elapsed()).constData());
    QVERIFY(served >= 6);
    QCOMPARE(quick.get("/").status, 200);
}

// Many requests at once from one address: 429 with Retry-After beyond the burst; sixteen
// connections from one address, no more.
void TestViewServer::floodAndConnections() {
    Client flood(view_->port, folderCertificate(), "127.0.0.7");
    QVERIFY(flood.open());
    QByteArray burst;
    for (int i = 0; i < 60; ++i) {
        burst += "GET /api/salon HTTP/1.1\r\nHost: localhost\r\n\r\n";
    }
    flood.socket.write(burst);
    QMap<int, int> statuses;
    QByteArray retryAfter;
    for (int i = 0; i < 60; ++i) {
        const Reply reply = flood.read();
        ++statuses[reply.status];
        if (reply.status == 429) {
            retryAfter = reply.header("retry-after");
        }
    }
    QVERIFY2(statuses.value(401) >= 35 && statuses.value(401) <= 45, qPrintable(QString::number(statuses.value(401))));
    QCOMPARE(statuses.value(401) + statuses.value(429), 60);
    QVERIFY(retryAfter.toInt() >= 1);
    QTest::qWait(2100); // the bucket fills again

    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 15; ++i) { // with flood's own: sixteen
        held.push_back(std::make_unique<Client>(view_->port, folderCertificate(), "127.0.0.7"));
        QVERIFY2(held.back()->open(), qPrintable(QString::number(i)));
    }
    Client seventeenth(view_->port, folderCertificate(), "127.0.0.7");
    QVERIFY(!seventeenth.open());
    held.clear();
    flood.socket.disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(Client(view_->port, folderCertificate(), "127.0.0.7").open(), 5000);
}

// The owner's own certificate and key; a key of another certificate is refused at the start.
void TestViewServer::ownersCertificate() {
    QTemporaryDir scratch;
    const auto make = [&](const QString &name) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=localhost",
                       "-addext", "subjectAltName=DNS:localhost", "-keyout", scratch.filePath(name + ".key"), "-out",
                       scratch.filePath(name + ".pem")});
        return openssl.waitForFinished(30000) && openssl.exitCode() == 0;
    };
    QVERIFY(make(QStringLiteral("duenio")));
    QVERIFY(make(QStringLiteral("otro")));
    const webview::CertificatePair owners =
        webview::loadCertificate(scratch.filePath("duenio.pem"), scratch.filePath("duenio.key"));
    QVERIFY2(owners.ok(), qPrintable(owners.error));
    View view(t_->folder.path(),
              {"--certificate", scratch.filePath("duenio.pem"), "--key", scratch.filePath("duenio.key")});
    QVERIFY(view.listening());
    QCOMPARE(view.fingerprint, webview::fingerprintText(owners.certificate));
    Client phone(view.port, owners.certificate);
    QCOMPARE(phone.get("/").status, 200);
    QCOMPARE(webview::loadCertificate(scratch.filePath("duenio.pem"), scratch.filePath("otro.key")).error,
             QStringLiteral("La clave %1 no es la del certificado %2.")
                 .arg(scratch.filePath("otro.key"), scratch.filePath("duenio.pem")));
}

void TestViewServer::startFailures_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("the port in use") << "port" << 1 << "ya está en uso";
    QTest::newRow("books unreadable") << "books" << 1 << "no se pueden leer los libros";
    QTest::newRow("a key of another certificate") << "pair" << 1 << "no es la del certificado";
    QTest::newRow("a port of no number") << "word" << 2 << "el puerto va de 0 a 65535";
    QTest::newRow("a key without its certificate") << "half" << 2 << "--certificate";
    QTest::newRow("no port") << "none" << 2 << "La vista necesita «--port»";
}

void TestViewServer::startFailures() {
    QFETCH(QString, what);
    QFETCH(int, status);
    QFETCH(QString, said);
    testing::TestPlatform t;
    const QString dir = t.folder.path();
    QStringList arguments{"--serve", "--data-dir", dir, "--bind", "127.0.0.1", "--port", "0"};
    QTcpServer taken;
    if (what == QLatin1String("port")) {
        QVERIFY(taken.listen(QHostAddress::LocalHost));
        arguments.last() = QString::number(taken.serverPort());
    } else if (what == QLatin1String("books")) {
        QVERIFY(QFile::remove(t.databasePath()));
        QVERIFY(writeFile(t.databasePath(), QByteArray(8192, 'x')));
    } else if (what == QLatin1String("pair")) {
        const webview::CertificatePair own = webview::ownCertificate(dir);
        QVERIFY(own.ok());
        QTemporaryDir other;
        const webview::CertificatePair second = webview::ownCertificate(other.path());
        arguments << "--certificate" << t.folder.filePath(webview::kOwnCertificateFile) << "--key"
                  << other.filePath(webview::kOwnKeyFile);
        QVERIFY(second.ok());
        const testing::Run run = testing::runLudomat(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        return;
    } else if (what == QLatin1String("word")) {
        arguments.last() = QStringLiteral("ocho");
    } else if (what == QLatin1String("half")) {
        arguments << "--key" << dir + "/clave.pem";
    } else if (what == QLatin1String("none")) {
        arguments.removeLast();
        arguments.removeLast();
    }
    const testing::Run run = testing::runLudomat(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
}

// The view ends with the process that started it, whatever ended that one.
void TestViewServer::endsWithItsParent() {
    QProcess parent;
    parent.start(QStringLiteral("sh"), {"-c",
                                        "\"$0\" --serve --data-dir \"$1\" --port 0 --bind 127.0.0.1 & echo PID $!; "
                                        "sleep 600",
                                        QStringLiteral(LUDOMAT_EXE), t_->folder.path()});
    QVERIFY(parent.waitForStarted());
    QByteArray printed;
    QTRY_VERIFY_WITH_TIMEOUT((printed += parent.readAllStandardOutput()).contains("LISTO"), 20000);
    const pid_t child =
        pid_t(QRegularExpression(QStringLiteral("PID (\\d+)")).match(QString::fromLatin1(printed)).captured(1).toInt());
    QVERIFY2(child > 0, printed.constData());
    QVERIFY(!ended(child));
    ::kill(pid_t(parent.processId()), SIGKILL);
    parent.waitForFinished();
    QTRY_VERIFY_WITH_TIMEOUT(ended(child), 10000);
}

QTEST_GUILESS_MAIN(TestViewServer)
#include "tst_view_server.moc"
