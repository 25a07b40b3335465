#include "cash_close/CashCloseInput.h"

#include <QLocale>
#include <QRegularExpression>

namespace cash_close {

namespace {

constexpr int kYearsBack = 79;

bool fourDigitYear(const QDate &date) {
    return date.isValid() && date.year() >= 1000 && date.year() <= 9999;
}

// Qt reads "yy" as 19yy; move it to the century nearest the reference year.
QDate fixCentury(const QDate &parsed, const QDate &reference) {
    const int twoDigits = parsed.year() % 100;
    int year = (reference.year() / 100) * 100 + twoDigits;
    if (year > reference.year() + (100 - kYearsBack - 1)) {
        year -= 100;
    } else if (year < reference.year() - kYearsBack) {
        year += 100;
    }
    return QDate(year, parsed.month(), parsed.day());
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
        const QDate twoDigit = locale.toDate(trimmed, shortFormat);
        if (twoDigit.isValid()) {
            const QDate date = fixCentury(twoDigit, reference.isValid() ? reference : QDate::currentDate());
            return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
        }
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
