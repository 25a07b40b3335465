// The Jet-to-SQLite translation under hostile input. Two modes, by the first byte:
//  - raw text: refused, or one statement whose placeholders match its bound values;
//  - values spliced by the statement builders (names, passwords): the statement keeps its
//    shape, SQLite prepares it, and every value is bound as exactly what was written.
#include "FuzzCheck.h"
#include "data/DbError.h"
#include "data/JetTranslator.h"
#include "data/Schema.h"
#include "data/Statements.h"

#include <QList>
#include <QString>
#include <sqlite3.h>

namespace {

sqlite3 *schemaDatabase() {
    static sqlite3 *db = [] {
        sqlite3 *handle = nullptr;
        sqlite3_open(":memory:", &handle);
        for (const QString &statement : data::schemaStatements()) {
            sqlite3_exec(handle, statement.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
        return handle;
    }();
    return db;
}

// Prepares the translated text; returns the parameter count, or -1 when SQLite refuses it.
int prepare(const data::TranslatedStatement &t, bool *singleStatement) {
    const QByteArray sql = t.sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(schemaDatabase(), sql.constData(), static_cast<int>(sql.size()), &stmt, &tail) !=
        SQLITE_OK) {
        return -1;
    }
    *singleStatement = QByteArray(tail).trimmed().isEmpty();
    const int count = sqlite3_bind_parameter_count(stmt);
    sqlite3_finalize(stmt);
    return count;
}

void checkBuilt(const QString &jet, const QList<QString> &expectedTexts) {
    data::TranslatedStatement t;
    try {
        t = data::translateJet(jet);
    } catch (const data::DbError &) {
        FUZZ_CHECK(false && "a built statement must always translate");
    }
    bool single = false;
    FUZZ_CHECK(prepare(t, &single) == t.values.size());
    FUZZ_CHECK(single);
    for (const QString &text : expectedTexts) {
        FUZZ_CHECK(t.values.contains(QVariant(text)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, static_cast<qsizetype>(size - 1));
    if (data[0] % 2 == 0) {
        try {
            const data::TranslatedStatement t = data::translateJet(QString::fromUtf8(bytes));
            FUZZ_CHECK(t.sql.count(QLatin1Char('?')) >= t.values.size());
            bool single = false;
            const int parameters = prepare(t, &single);
            if (parameters >= 0) {
                FUZZ_CHECK(single);
                FUZZ_CHECK(parameters == t.values.size());
            }
        } catch (const data::DbError &) {
            // refused: fine
        }
        return 0;
    }
    const QList<QByteArray> parts = bytes.split('\0');
    const QString name = QString::fromUtf8(parts.value(0));
    const QString password = QString::fromUtf8(parts.value(1));
    checkBuilt(statements::usuarioInsert(3, name, password), {name, password});
    checkBuilt(statements::passwordLookup(name), {name});
    checkBuilt(statements::usuarioDelete(name), {name});
    checkBuilt(statements::alquilerInsert(1, true, name, 5, QStringLiteral("Dec"), 2026, QStringLiteral("14:05:09"),
                                          QStringLiteral("0"), QStringLiteral("7"), QStringLiteral("10")),
               {name});
    return 0;
}
