#include "webview/Devices.h"

#include "data/DbError.h"

#include <QFile>
#include <QTimeZone>
#include <fcntl.h>
#include <sodium.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace webview {

namespace {

// Letters and digits a phone's keyboard types without doubt: no 0/O, 1/I/L.
constexpr char kCodeAlphabet[] = "ABCDEFGHJKMNPQRSTUVWXYZ23456789";
constexpr int kCodeLength = 8;
// How long one process waits for the other's write.
constexpr int kBusyTimeoutMs = 3000;
constexpr qint64 kLastUseStepMs = 60 * 1000;

void initSodium() {
    if (sodium_init() < 0) {
        throw data::DbError(QStringLiteral("No se pudo iniciar el generador de números aleatorios."));
    }
}

QByteArray sha256(const QByteArray &bytes) {
    initSodium();
    QByteArray digest(crypto_hash_sha256_BYTES, Qt::Uninitialized);
    crypto_hash_sha256(reinterpret_cast<unsigned char *>(digest.data()),
                       reinterpret_cast<const unsigned char *>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()));
    return digest;
}

QString normalizedCode(const QString &code) {
    return code.trimmed().toUpper();
}

// The name a phone gave, as it is kept: one line of printable text, trimmed and cut.
QString keptName(const QString &name) {
    QString kept;
    for (QChar c : name) {
        kept += c.isPrint() ? c : QChar(u' ');
    }
    kept = kept.simplified().left(kMaxDeviceName).trimmed();
    return kept.isEmpty() ? QStringLiteral("Dispositivo") : kept;
}

} // namespace

QByteArray newToken() {
    initSodium();
    QByteArray bytes(32, Qt::Uninitialized);
    randombytes_buf(bytes.data(), size_t(bytes.size()));
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

QByteArray tokenHash(const QByteArray &token) {
    return sha256(token).toHex();
}

struct DeviceStore::Impl {
    sqlite3 *db = nullptr;
    QString path;

    [[noreturn]] void fail(const char *sql, int rc) const {
        throw data::DbError(QStringLiteral("%1: %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db))),
                            QString::fromUtf8(sql), rc & 0xff);
    }

    void exec(const char *sql) const {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            fail(sql, rc);
        }
    }

    // One statement, its parameters bound in order (qint64 or text), its rows to row().
    struct Statement {
        const Impl &impl;
        const char *sql;
        sqlite3_stmt *stmt = nullptr;
        int next = 1;
        Statement(const Impl &owner, const char *text) : impl(owner), sql(text) {
            const int rc = sqlite3_prepare_v2(impl.db, sql, -1, &stmt, nullptr);
            if (rc != SQLITE_OK) {
                impl.fail(sql, rc);
            }
        }
        ~Statement() { sqlite3_finalize(stmt); }
        Statement(const Statement &) = delete;
        Statement &operator=(const Statement &) = delete;
        Statement &bind(qint64 value) {
            sqlite3_bind_int64(stmt, next++, value);
            return *this;
        }
        Statement &bind(const QByteArray &value) {
            sqlite3_bind_text(stmt, next++, value.constData(), int(value.size()), SQLITE_TRANSIENT);
            return *this;
        }
        // True while there is a row.
        bool step() {
            const int rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                return true;
            }
            if (rc != SQLITE_DONE) {
                impl.fail(sql, rc);
            }
            return false;
        }
        qint64 integer(int column) const { return sqlite3_column_int64(stmt, column); }
        QByteArray text(int column) const {
            return QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                              sqlite3_column_bytes(stmt, column));
        }
    };

    // Runs body in a write transaction, taken at once so that two processes never deadlock
    // upgrading a read; rolled back when body throws.
    template <class Body> auto writing(Body body) {
        exec("BEGIN IMMEDIATE");
        try {
            auto result = body();
            exec("COMMIT");
            return result;
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
};

DeviceStore::DeviceStore(const QString &path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    const QByteArray file = QFile::encodeName(path);
    // Made private before the engine opens it: the file never exists readable by others.
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    const int rc =
        sqlite3_open_v2(file.constData(), &impl_->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            QStringLiteral("No se puede abrir %1: %2")
                .arg(path, QString::fromUtf8(impl_->db ? sqlite3_errmsg(impl_->db) : sqlite3_errstr(rc)));
        sqlite3_close(impl_->db);
        impl_->db = nullptr;
        throw data::DbError(message, QString(), rc & 0xff);
    }
    ::chmod(file.constData(), 0600);
    sqlite3_busy_timeout(impl_->db, kBusyTimeoutMs);
    try {
        impl_->exec("CREATE TABLE IF NOT EXISTS Dispositivos ("
                    "Id INTEGER PRIMARY KEY AUTOINCREMENT, Nombre TEXT NOT NULL, "
                    "Token TEXT NOT NULL UNIQUE, Emparejado INTEGER NOT NULL, UltimoUso INTEGER NOT NULL);"
                    "CREATE TABLE IF NOT EXISTS CodigoEmparejar ("
                    "Id INTEGER PRIMARY KEY CHECK (Id = 1), Codigo TEXT NOT NULL, Vence INTEGER NOT NULL);");
    } catch (...) {
        sqlite3_close(impl_->db);
        impl_->db = nullptr;
        throw;
    }
}

DeviceStore::~DeviceStore() {
    sqlite3_close(impl_->db);
}

PairingCode DeviceStore::newPairingCode(const QDateTime &nowUtc) {
    initSodium();
    QString code;
    for (int i = 0; i < kCodeLength; ++i) {
        code += QLatin1Char(kCodeAlphabet[randombytes_uniform(sizeof kCodeAlphabet - 1)]);
    }
    const QDateTime expires = nowUtc.addSecs(kPairingMinutes * 60);
    // Only the code's hash is kept: the file shows nobody a code that pairs.
    impl_->writing([&] {
        Impl::Statement(*impl_, "INSERT OR REPLACE INTO CodigoEmparejar (Id, Codigo, Vence) VALUES (1, ?, ?)")
            .bind(tokenHash(code.toUtf8()))
            .bind(expires.toMSecsSinceEpoch())
            .step();
        return 0;
    });
    return {code, expires.toUTC()};
}

void DeviceStore::clearPairingCode() {
    impl_->exec("DELETE FROM CodigoEmparejar");
}

QVector<Device> DeviceStore::devices() {
    QVector<Device> list;
    Impl::Statement query(*impl_, "SELECT Id, Nombre, Emparejado, UltimoUso FROM Dispositivos ORDER BY Id");
    while (query.step()) {
        list.append({query.integer(0), QString::fromUtf8(query.text(1)),
                     QDateTime::fromMSecsSinceEpoch(query.integer(2), Qt::UTC),
                     QDateTime::fromMSecsSinceEpoch(query.integer(3), Qt::UTC)});
    }
    return list;
}

void DeviceStore::revoke(qint64 id) {
    Impl::Statement(*impl_, "DELETE FROM Dispositivos WHERE Id = ?").bind(id).step();
}

void DeviceStore::revokeAll() {
    impl_->writing([&] {
        impl_->exec("DELETE FROM Dispositivos; DELETE FROM CodigoEmparejar;");
        return 0;
    });
}

std::optional<QByteArray> DeviceStore::pair(const QString &code, const QString &deviceName, const QDateTime &nowUtc) {
    const QByteArray tried = tokenHash(normalizedCode(code).toUtf8());
    return impl_->writing([&]() -> std::optional<QByteArray> {
        Impl::Statement current(*impl_, "SELECT Codigo, Vence FROM CodigoEmparejar WHERE Id = 1");
        if (!current.step()) {
            return std::nullopt;
        }
        const QByteArray stored = current.text(0);
        if (current.integer(1) <= nowUtc.toMSecsSinceEpoch()) {
            impl_->exec("DELETE FROM CodigoEmparejar");
            return std::nullopt;
        }
        if (stored.size() != tried.size() ||
            sodium_memcmp(stored.constData(), tried.constData(), size_t(tried.size())) != 0) {
            return std::nullopt;
        }
        const QByteArray token = newToken();
        impl_->exec("DELETE FROM CodigoEmparejar");
        Impl::Statement(*impl_, "INSERT INTO Dispositivos (Nombre, Token, Emparejado, UltimoUso) VALUES (?, ?, ?, ?)")
            .bind(keptName(deviceName).toUtf8())
            .bind(tokenHash(token))
            .bind(nowUtc.toMSecsSinceEpoch())
            .bind(nowUtc.toMSecsSinceEpoch())
            .step();
        return token;
    });
}

std::optional<Device> DeviceStore::deviceForToken(const QByteArray &token, const QDateTime &nowUtc) {
    if (token.isEmpty()) {
        return std::nullopt;
    }
    std::optional<Device> found;
    {
        Impl::Statement query(*impl_, "SELECT Id, Nombre, Emparejado, UltimoUso FROM Dispositivos WHERE Token = ?");
        query.bind(tokenHash(token));
        if (!query.step()) {
            return std::nullopt;
        }
        found = Device{query.integer(0), QString::fromUtf8(query.text(1)),
                       QDateTime::fromMSecsSinceEpoch(query.integer(2), Qt::UTC),
                       QDateTime::fromMSecsSinceEpoch(query.integer(3), Qt::UTC)};
    }
    const qint64 now = nowUtc.toMSecsSinceEpoch();
    if (now - found->lastUseUtc.toMSecsSinceEpoch() >= kLastUseStepMs) {
        // The last use is a convenience for the list: a busy file never turns the device away.
        try {
            Impl::Statement(*impl_, "UPDATE Dispositivos SET UltimoUso = ? WHERE Id = ?")
                .bind(now)
                .bind(found->id)
                .step();
            found->lastUseUtc = nowUtc.toUTC();
        } catch (const data::DbError &error) {
            if (!error.isBusy()) {
                throw;
            }
        }
    }
    return found;
}

} // namespace webview
