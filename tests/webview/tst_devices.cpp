// The paired devices' file as the program and the view share it: two handles on one file are
// the two processes.
#include "SqliteFile.h"
#include "data/DbError.h"
#include "webview/Devices.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using webview::DeviceStore;

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(14, 5, 9), Qt::UTC);

} // namespace

class TestDevices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QVERIFY(dir_.isValid());
        QFile::remove(path()); // each test on a file of its own
    }
    void pairing_data();
    void pairing();
    void aCodePairsOnce();
    void onlyHashesAreKept();
    void revokedInTheOtherProcess();
    void lastUseOncePerMinute();
    void namesAsKept();
    void unreadableFileThrows();

private:
    QString path() const { return dir_.filePath(webview::kDevicesFileName); }
    QTemporaryDir dir_;
};

void TestDevices::pairing_data() {
    QTest::addColumn<QString>("typed"); // CODE: the code made
    QTest::addColumn<int>("secondsLater");
    QTest::addColumn<bool>("codeMade");
    QTest::addColumn<bool>("newerCode"); // another code made after it
    QTest::addColumn<bool>("paired");
    QTest::newRow("as shown") << "CODE" << 0 << true << false << true;
    QTest::newRow("lower case, blanks around") << "  code\t" << 0 << true << false << true;
    QTest::newRow("just before it ends") << "CODE" << webview::kPairingMinutes * 60 - 1 << true << false << true;
    QTest::newRow("when it ends") << "CODE" << webview::kPairingMinutes * 60 << true << false << false;
    QTest::newRow("one letter wrong") << "CODX" << 0 << true << false << false;
    QTest::newRow("a letter short") << "CODE-1" << 0 << true << false << false;
    QTest::newRow("empty") << "" << 0 << true << false << false;
    QTest::newRow("no code made") << "K7QM4XPD" << 0 << false << false << false;
    QTest::newRow("replaced by a newer one") << "CODE" << 0 << true << true << false;
}

void TestDevices::pairing() {
    QFETCH(QString, typed);
    QFETCH(int, secondsLater);
    QFETCH(bool, codeMade);
    QFETCH(bool, newerCode);
    QFETCH(bool, paired);
    DeviceStore program(path());
    QString code;
    if (codeMade) {
        const webview::PairingCode made = program.newPairingCode(kNow);
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-HJKMNP-Z2-9]{8}$")).match(made.code).hasMatch(),
                 qPrintable(made.code));
        QCOMPARE(made.expiresUtc, kNow.addSecs(webview::kPairingMinutes * 60));
        code = made.code;
    }
    if (newerCode) {
        QVERIFY(program.newPairingCode(kNow).code != code);
    }
    typed.replace(QLatin1String("CODX"), code.left(7) + (code.endsWith(u'A') ? u'B' : u'A'))
        .replace(QLatin1String("CODE-1"), code.left(7))
        .replace(QLatin1String("CODE"), code)
        .replace(QLatin1String("code"), code.toLower());
    DeviceStore view(path());
    const auto token = view.pair(typed, QStringLiteral("Teléfono"), kNow.addSecs(secondsLater));
    QCOMPARE(token.has_value(), paired);
    QCOMPARE(program.devices().size(), paired ? 1 : 0);
    if (paired) {
        QVERIFY(view.deviceForToken(*token, kNow.addSecs(secondsLater)));
    }
}

void TestDevices::aCodePairsOnce() {
    DeviceStore program(path());
    DeviceStore view(path());
    DeviceStore otherView(path());
    const QString code = program.newPairingCode(kNow).code;
    const auto first = view.pair(code, QStringLiteral("Uno"), kNow);
    QVERIFY(first);
    QVERIFY(!otherView.pair(code, QStringLiteral("Dos"), kNow));
    QVERIFY(!view.pair(code, QStringLiteral("Dos"), kNow));
    // A code taken back in the program pairs nothing.
    const QString cleared = program.newPairingCode(kNow).code;
    program.clearPairingCode();
    QVERIFY(!view.pair(cleared, QStringLiteral("Tres"), kNow));
    QCOMPARE(program.devices().size(), 1);
}

// The token is 32 random bytes in base64url; the file holds only hashes, and only its owner reads it.
void TestDevices::onlyHashesAreKept() {
    DeviceStore program(path());
    DeviceStore view(path());
    const QString code = program.newPairingCode(kNow).code;
    const QByteArray token = view.pair(code, QStringLiteral("Teléfono"), kNow).value();
    QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(QString::fromLatin1(token)).hasMatch(),
             token.constData());
    QVERIFY(webview::newToken() != webview::newToken());
    QCOMPARE(webview::tokenHash(token).size(), 64);
    QFile file(path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(!bytes.contains(token));
    QVERIFY(!bytes.contains(QByteArray::fromBase64(token, QByteArray::Base64UrlEncoding)));
    QVERIFY(bytes.contains(webview::tokenHash(token)));
    // A code made now is not in the file either.
    const QString next = program.newPairingCode(kNow).code;
    file.seek(0);
    QVERIFY(!file.readAll().contains(next.toLatin1()));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0600));
}

void TestDevices::revokedInTheOtherProcess() {
    DeviceStore program(path());
    DeviceStore view(path());
    QByteArray tokens[3];
    for (QByteArray &token : tokens) {
        token = view.pair(program.newPairingCode(kNow).code, QStringLiteral("Teléfono"), kNow).value();
    }
    const QVector<webview::Device> listed = program.devices();
    QCOMPARE(listed.size(), 3);
    program.revoke(listed[1].id);
    QVERIFY(view.deviceForToken(tokens[0], kNow));
    QVERIFY(!view.deviceForToken(tokens[1], kNow));
    QVERIFY(view.deviceForToken(tokens[2], kNow));
    QVERIFY(!view.deviceForToken("not-a-token", kNow));
    QVERIFY(!view.deviceForToken(QByteArray(), kNow));
    // Turning the view off: every device and the code go.
    const QString code = program.newPairingCode(kNow).code;
    program.revokeAll();
    QVERIFY(!view.deviceForToken(tokens[0], kNow));
    QVERIFY(!view.deviceForToken(tokens[2], kNow));
    QVERIFY(!view.pair(code, QStringLiteral("Otro"), kNow));
    QVERIFY(program.devices().isEmpty());
}

void TestDevices::lastUseOncePerMinute() {
    DeviceStore program(path());
    DeviceStore view(path());
    const QByteArray token = view.pair(program.newPairingCode(kNow).code, QStringLiteral("T"), kNow).value();
    const struct {
        int seconds;
        int lastUse; // seconds after kNow, as the program lists it
    } steps[] = {{30, 0}, {59, 0}, {61, 61}, {100, 61}, {200, 200}};
    for (const auto &step : steps) {
        QVERIFY(view.deviceForToken(token, kNow.addSecs(step.seconds)));
        QCOMPARE(program.devices().value(0).lastUseUtc, kNow.addSecs(step.lastUse));
        QCOMPARE(program.devices().value(0).pairedUtc, kNow);
    }
    // A file the program holds in a write meanwhile does not turn the device away.
    sqlite3 *holder = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path()).constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    QVERIFY(view.deviceForToken(token, kNow.addSecs(400)));
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
}

void TestDevices::namesAsKept() {
    const struct {
        QString given;
        QString kept;
    } table[] = {
        {QStringLiteral("  Teléfono de Ana  "), QStringLiteral("Teléfono de Ana")},
        {QStringLiteral("Tab\tand\nline"), QStringLiteral("Tab and line")},
        {QString(60, u'x'), QString(webview::kMaxDeviceName, u'x')},
        {QStringLiteral("\x01\x02"), QStringLiteral("Dispositivo")},
    };
    DeviceStore store(path());
    for (const auto &r : table) {
        QVERIFY(store.pair(store.newPairingCode(kNow).code, r.given, kNow));
        QCOMPARE(store.devices().constLast().name, r.kept);
    }
}

void TestDevices::unreadableFileThrows() {
    const auto open = [](const QString &file) { DeviceStore store(file); };
    QVERIFY_THROWS_EXCEPTION(data::DbError, open(dir_.filePath(QStringLiteral("falta/vista.db"))));
    QVERIFY(writeFile(path(), QByteArray(4096, 'x')));
    QVERIFY_THROWS_EXCEPTION(data::DbError, open(path()));
}

QTEST_GUILESS_MAIN(TestDevices)
#include "tst_devices.moc"
