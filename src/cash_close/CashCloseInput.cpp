#include "cash_close/CashCloseInput.h"

#include <QLocale>
#include <QRegularExpression>

namespace cash_close {

namespace {

constexpr int kYearsBack = 79;

bool fourDigitYear(const QDate &date) {
    return date.isValid() && date.year() >= 1000 && date.year() <= 9999;
}

// The year of two digits in the century nearest the reference year.
int nearestCentury(int twoDigits, const QDate &reference) {
    int year = (reference.year() / 100) * 100 + twoDigits;
    if (year > reference.year() + (100 - kYearsBack - 1)) {
        year -= 100;
    } else if (year < reference.year() - kYearsBack) {
        year += 100;
    }
    return year;
}

// A numeric short format with a two-digit year ("d/M/yy", "dd.MM.yy"), read by hand: Qt reads
// "yy" as 19yy and so refuses 29/2/00 before the century could be put right.
std::optional<QDate> readTwoDigitYear(const QString &text, const QString &format, const QDate &reference) {
    QString pattern = QStringLiteral("^");
    QList<QChar> order;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            if (run > 2)
                return std::nullopt; // names or four digits: not this form
            pattern += c == QLatin1Char('y') || run == 2 ? QStringLiteral("(\\d{2})") : QStringLiteral("(\\d{1,2})");
            order << c;
        } else {
            pattern += QRegularExpression::escape(QString(run, c));
        }
        i += run;
    }
    const QRegularExpressionMatch m = QRegularExpression(pattern + QLatin1Char('$')).match(text);
    if (!m.hasMatch() || order.size() != 3)
        return std::nullopt;
    int day = 0, month = 0, year = 0;
    for (int k = 0; k < 3; ++k) {
        const int value = m.captured(k + 1).toInt();
        (order[k] == QLatin1Char('d') ? day : order[k] == QLatin1Char('M') ? month : year) = value;
    }
    const QDate date(nearestCentury(year, reference), month, day);
    if (!fourDigitYear(date))
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> parseBoxDate(const QString &text, const QDate &reference) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return std::nullopt;
    }
    static const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d{1,2}-\\d{1,2}$"));
    if (iso.match(trimmed).hasMatch()) {
        const QDate date = QDate::fromString(trimmed, QStringLiteral("yyyy-M-d"));
        return fourDigitYear(date) ? std::optional<QDate>(date) : std::nullopt;
    }

    const QLocale locale;
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    if (!shortFormat.contains(QLatin1String("yyyy")) && shortFormat.contains(QLatin1String("yy"))) {
        if (const auto date =
                readTwoDigitYear(trimmed, shortFormat, reference.isValid() ? reference : QDate::currentDate()))
            return date;
        QString longYear = shortFormat;
        longYear.replace(QLatin1String("yy"), QLatin1String("yyyy"));
        const QDate date = locale.toDate(trimmed, longYear);
        if (date.isValid()) {
            return fourDigitYear(date) ? std::optional<QDate>(date) : std::nullopt;
        }
    } else {
        const QDate date = locale.toDate(trimmed, shortFormat);
        if (date.isValid()) {
            return fourDigitYear(date) ? std::optional<QDate>(date) : std::nullopt;
        }
    }
    const QDate longDate = locale.toDate(trimmed, QLocale::LongFormat);
    return fourDigitYear(longDate) ? std::optional<QDate>(longDate) : std::nullopt;
}

std::optional<QTime> parseBoxTime(const QString &text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*(?:([AaPp])\\.?\\s*[Mm]\\.?)?$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch()) {
        return std::nullopt;
    }
    int hours = m.captured(1).toInt();
    const int minutes = m.captured(2).toInt();
    const int seconds = m.hasCaptured(3) ? m.captured(3).toInt() : 0;
    if (m.hasCaptured(4)) {
        if (hours < 1 || hours > 12) {
            return std::nullopt;
        }
        const bool pm = m.captured(4).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0;
        hours = hours % 12 + (pm ? 12 : 0);
    }
    if (hours > 23 || minutes > 59 || seconds > 59) {
        return std::nullopt;
    }
    return QTime(hours, minutes, seconds);
}

QString engineTime(const QTime &time) {
    return time.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace cash_close
