#pragma once

#include <QString>
#include <QVariantList>

namespace data {

// A Jet-dialect statement turned into SQLite text whose every literal is a bound value.
struct TranslatedStatement {
    QString sql;
    QVariantList values;
};

// Lexes the Jet text and rebuilds it for SQLite: text, number, date (#5/Dec/2026#,
// #5-Dec-2026#, #2026-12-05#) and time (#14:05:09#, #08:00:00 AM#, #1:25#) literals become
// parameters; "DELETE * FROM" becomes "DELETE FROM". Refuses (throws DbError) anything it
// cannot read: unterminated literals, bad dates or times, a second statement, comments.
TranslatedStatement translateJet(const QString &jetSql);

} // namespace data
