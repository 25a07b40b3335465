#include "data/JetTranslator.h"

#include "data/DbError.h"

#include <QDate>
#include <QVector>
#include <optional>

namespace data {

namespace {

enum class Kind { Space, Word, Number, Text, DateTime, Punct, Bracketed };

struct Token {
    Kind kind;
    QStringView text; // as written (words, punctuation, blanks), a view into the statement
    QVariant value;   // for literals
};

[[noreturn]] void refuse(const QString &why, const QString &jet) {
    throw DbError(QStringLiteral("Instrucción no válida: ") + why, jet);
}

// Zero-padded decimal, at least `width` digits: the bound forms of dates and times.
void appendPadded(QString &out, long value, int width) {
    const QString digits = QString::number(value);
    for (qsizetype pad = width - digits.size(); pad > 0; --pad)
        out += QLatin1Char('0');
    out += digits;
}

QString joined(long a, int widthA, QChar sep, long b, QChar sep2, long c) {
    QString out;
    out.reserve(10);
    appendPadded(out, a, widthA);
    out += sep;
    appendPadded(out, b, 2);
    out += sep2;
    appendPadded(out, c, 2);
    return out;
}

bool allDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (QChar c : s)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

int monthFromName(QStringView name) {
    static const char *const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    for (int i = 0; i < 12; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

// d/Mon/yyyy, m/d/yyyy, d-Mon-yyyy, yyyy-mm-dd.
std::optional<QString> parseDate(const QString &body) {
    const QChar sep = body.contains(QLatin1Char('/')) ? QLatin1Char('/') : QLatin1Char('-');
    const QStringList parts = body.split(sep);
    if (parts.size() != 3)
        return std::nullopt;
    int year = 0, month = 0, day = 0;
    if (sep == QLatin1Char('-') && parts[0].size() == 4 && allDigits(parts[0])) {
        if (parts[1].size() > 2 || parts[2].size() > 2 || !allDigits(parts[1]) || !allDigits(parts[2]))
            return std::nullopt;
        year = parts[0].toInt();
        month = parts[1].toInt();
        day = parts[2].toInt();
    } else {
        if (parts[2].size() != 4 || !allDigits(parts[2]))
            return std::nullopt;
        year = parts[2].toInt();
        if (allDigits(parts[1])) {
            // Jet reads an all-numeric date the US way, month first; only with slashes.
            if (sep != QLatin1Char('/') || parts[0].size() > 2 || parts[1].size() > 2 || !allDigits(parts[0]))
                return std::nullopt;
            month = parts[0].toInt();
            day = parts[1].toInt();
        } else {
            if (parts[0].size() > 2 || !allDigits(parts[0]))
                return std::nullopt;
            day = parts[0].toInt();
            month = monthFromName(parts[1]);
        }
    }
    if (year < 1000 || !QDate(year, month, day).isValid())
        return std::nullopt;
    return joined(year, 4, QLatin1Char('-'), month, QLatin1Char('-'), day);
}

// H:MM, H:MM:SS (hours up to 9999 for durations) and hh:mm[:ss] AM/PM.
std::optional<QString> parseTime(const QString &body) {
    QString clock = body;
    int meridiem = 0; // 1 AM, 2 PM
    const QString upper = body.toUpper();
    if (upper.endsWith(QLatin1String("AM")) || upper.endsWith(QLatin1String("PM"))) {
        meridiem = upper.endsWith(QLatin1String("AM")) ? 1 : 2;
        clock = body.left(body.size() - 2).trimmed();
    }
    const QStringList parts = clock.split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    for (const QString &p : parts)
        if (!allDigits(p))
            return std::nullopt;
    if (parts[0].size() > 4 || parts[1].size() > 2 || (parts.size() == 3 && parts[2].size() > 2))
        return std::nullopt;
    long hours = parts[0].toLong();
    long minutes = parts[1].toLong();
    const long seconds = parts.size() == 3 ? parts[2].toLong() : 0;
    if (seconds > 59)
        return std::nullopt;
    if (meridiem != 0) {
        if (hours < 1 || hours > 12 || minutes > 59)
            return std::nullopt;
        hours = (hours % 12) + (meridiem == 2 ? 12 : 0);
    } else {
        // The rental insert may join a minute count of 60 or more; fold it into hours.
        hours += minutes / 60;
        minutes %= 60;
    }
    return joined(hours, 2, QLatin1Char(':'), minutes, QLatin1Char(':'), seconds);
}

QVariant dateTimeValue(const QString &body, const QString &jet) {
    const QString trimmed = body.trimmed();
    if (trimmed.isEmpty())
        refuse(QStringLiteral("literal de fecha vacío ##"), jet);
    if (trimmed.contains(QLatin1Char(':'))) {
        if (auto t = parseTime(trimmed))
            return *t;
        refuse(QStringLiteral("hora mal formada #%1#").arg(body), jet);
    }
    if (auto d = parseDate(trimmed))
        return *d;
    refuse(QStringLiteral("fecha mal formada o inexistente #%1#").arg(body), jet);
}

QVariant numberValue(const QString &text, const QString &jet) {
    bool ok = false;
    if (!text.contains(QLatin1Char('.'))) {
        const qlonglong n = text.toLongLong(&ok);
        if (ok)
            return n;
    }
    const double d = text.toDouble(&ok);
    if (!ok)
        refuse(QStringLiteral("número mal formado: ") + text, jet);
    return d;
}

bool isWordStart(QChar c) {
    return c.isLetter() || c == QLatin1Char('_');
}
bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}
bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

QVector<Token> lex(const QString &jet) {
    QVector<Token> tokens;
    tokens.reserve(jet.size() / 3 + 8);
    const QStringView view(jet);
    const qsizetype n = jet.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = jet[i];
        const qsizetype start = i;
        if (c.isSpace()) {
            while (i < n && jet[i].isSpace())
                ++i;
            tokens.push_back({Kind::Space, view.mid(start, i - start), {}});
        } else if (isWordStart(c)) {
            while (i < n && isWordChar(jet[i]))
                ++i;
            tokens.push_back({Kind::Word, view.mid(start, i - start), {}});
        } else if (isDigit(c)) {
            while (i < n && isDigit(jet[i]))
                ++i;
            if (i + 1 < n && jet[i] == QLatin1Char('.') && isDigit(jet[i + 1])) {
                ++i;
                while (i < n && isDigit(jet[i]))
                    ++i;
            }
            if (i < n && isWordChar(jet[i]))
                refuse(QStringLiteral("número mal formado cerca de ") + jet.mid(start, i - start + 1), jet);
            const QStringView text = view.mid(start, i - start);
            tokens.push_back({Kind::Number, text, numberValue(text.toString(), jet)});
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Jet takes both quote marks for text; a doubled mark stands for itself.
            QString value;
            ++i;
            bool closed = false;
            while (i < n) {
                if (jet[i] == c) {
                    if (i + 1 < n && jet[i + 1] == c) {
                        value += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += jet[i++];
            }
            if (!closed)
                refuse(QStringLiteral("texto sin cerrar (falta la comilla final)"), jet);
            tokens.push_back({Kind::Text, {}, value});
        } else if (c == QLatin1Char('#')) {
            const qsizetype end = jet.indexOf(QLatin1Char('#'), i + 1);
            if (end < 0)
                refuse(QStringLiteral("fecha u hora sin cerrar (falta el # final)"), jet);
            tokens.push_back({Kind::DateTime, {}, dateTimeValue(jet.mid(i + 1, end - i - 1), jet)});
            i = end + 1;
        } else if (c == QLatin1Char('[')) {
            const qsizetype end = jet.indexOf(QLatin1Char(']'), i + 1);
            if (end < 0 || end == i + 1)
                refuse(QStringLiteral("nombre entre corchetes sin cerrar o vacío"), jet);
            tokens.push_back({Kind::Bracketed, view.mid(i + 1, end - i - 1), {}});
            i = end + 1;
        } else if (c == QLatin1Char('<') || c == QLatin1Char('>')) {
            ++i;
            if (i < n && (jet[i] == QLatin1Char('=') || (c == QLatin1Char('<') && jet[i] == QLatin1Char('>'))))
                ++i;
            tokens.push_back({Kind::Punct, view.mid(start, i - start), {}});
        } else if (c == QLatin1Char('-') && i + 1 < n && jet[i + 1] == QLatin1Char('-')) {
            refuse(QStringLiteral("no se admiten comentarios (--)"), jet);
        } else if (c == QLatin1Char('/') && i + 1 < n && jet[i + 1] == QLatin1Char('*')) {
            refuse(QStringLiteral("no se admiten comentarios (/*)"), jet);
        } else if (c == QLatin1Char(';')) {
            refuse(QStringLiteral("no se admite más de una instrucción (;)"), jet);
        } else if (QStringView(u"(),*=.+-/").contains(c)) {
            ++i;
            tokens.push_back({Kind::Punct, view.mid(start, 1), {}});
        } else {
            refuse(QStringLiteral("carácter no admitido '%1' en la posición %2").arg(c).arg(i + 1), jet);
        }
    }
    return tokens;
}

bool isWord(const Token &t, const char *word) {
    return t.kind == Kind::Word && t.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// Index of the next token that is not blank, or -1.
qsizetype nextSolid(const QVector<Token> &tokens, qsizetype from) {
    for (qsizetype k = from; k < tokens.size(); ++k)
        if (tokens[k].kind != Kind::Space)
            return k;
    return -1;
}

} // namespace

TranslatedStatement translateJet(const QString &jetSql) {
    const QVector<Token> tokens = lex(jetSql);
    const qsizetype first = nextSolid(tokens, 0);
    if (first < 0)
        refuse(QStringLiteral("instrucción vacía"), jetSql);

    TranslatedStatement out;
    out.sql.reserve(jetSql.size());
    for (qsizetype k = 0; k < tokens.size(); ++k) {
        const Token &t = tokens[k];
        switch (t.kind) {
        case Kind::Text:
        case Kind::Number:
        case Kind::DateTime:
            out.sql += QLatin1Char('?');
            out.values.push_back(t.value);
            break;
        case Kind::Bracketed: {
            QString name = t.text.toString();
            name.replace(QLatin1Char('"'), QLatin1String("\"\""));
            out.sql += QLatin1Char('"') + name + QLatin1Char('"');
            break;
        }
        case Kind::Punct:
            // Jet's "DELETE * FROM": SQLite knows only "DELETE FROM".
            if (t.text == QLatin1String("*") && k == nextSolid(tokens, first + 1) && isWord(tokens[first], "DELETE")) {
                const qsizetype after = nextSolid(tokens, k + 1);
                if (after >= 0 && isWord(tokens[after], "FROM")) {
                    k = after - 1; // skip the blanks too
                    break;
                }
            }
            out.sql += t.text;
            break;
        case Kind::Space:
        case Kind::Word:
            out.sql += t.text;
            break;
        }
    }
    return out;
}

} // namespace data
