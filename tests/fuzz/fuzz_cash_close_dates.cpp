// The cash close's date and time boxes under hostile input and three locales. Input: a locale
// byte, a date, a reference date and a time (built from the next bytes), then free text.
//  - the free text, read as a date: refused, or a valid date with a four-digit year;
//  - read as a time: refused, or a time whose engine form reads back as itself;
//  - the built date, written in the regional short form and in ISO, reads back as itself
//    (a two-digit year lands in the century nearest the reference: 79 years back, 20 ahead);
//  - the built time, written "HH:mm:ss" and "hh:mm:ss AP", reads back as itself;
//  - whatever was read goes into the trimming and range statements, which always translate.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "cash_close/CashCloseInput.h"
#include "data/DbError.h"
#include "data/JetTranslator.h"
#include "data/Statements.h"

#include <QDate>
#include <QLocale>
#include <QTime>

namespace {

const qint64 kFirstDay = QDate(1000, 1, 1).toJulianDay();
const qint64 kDays = QDate(9999, 12, 31).toJulianDay() - kFirstDay + 1;

QDate dateFrom(quint32 bits) {
    return QDate::fromJulianDay(kFirstDay + static_cast<qint64>(bits % static_cast<quint32>(kDays)));
}

bool fourDigitYear(const QDate &date) {
    return date.isValid() && date.year() >= 1000 && date.year() <= 9999;
}

// Where a two-digit year must come back: the one year with those last digits in the window
// from 79 years before the reference to 20 after it.
QDate nearestCentury(const QDate &date, const QDate &reference) {
    int year = reference.year() - 79;
    while (((year % 100) + 100) % 100 != date.year() % 100) {
        ++year;
    }
    return QDate(year, date.month(), date.day());
}

void checkStatements(const QDate &date, const QTime &time) {
    const QString day = date.toString(QStringLiteral("yyyy-MM-dd"));
    const QString clock = cash_close::engineTime(time);
    try {
        const data::TranslatedStatement trim = data::translateJet(statements::cajaTrimFirstDay(date, clock));
        FUZZ_CHECK(trim.values.size() == 2);
        FUZZ_CHECK(trim.values[0].toString() == day);
        FUZZ_CHECK(trim.values[1].toString() == clock);
        const data::TranslatedStatement range = data::translateJet(statements::alquilerRange(date, date));
        FUZZ_CHECK(range.values.size() == 2);
        FUZZ_CHECK(range.values[0].toString() == day && range.values[1].toString() == day);
    } catch (const data::DbError &) {
        FUZZ_CHECK(false && "a checked date and time must always translate");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    FuzzInput in(data, size);
    useLocale(in.take<unsigned char>());
    const QDate date = dateFrom(in.take<quint32>());
    const QDate reference = dateFrom(in.take<quint32>());
    const quint32 seconds = in.take<quint32>() % 86400;
    const QTime time = QTime(0, 0).addSecs(static_cast<int>(seconds));
    const QString text = QString::fromUtf8(in.rest());

    if (const auto parsed = cash_close::parseBoxDate(text, reference)) {
        FUZZ_CHECK(fourDigitYear(*parsed));
        checkStatements(*parsed, QTime(0, 0));
    }
    if (const auto parsed = cash_close::parseBoxTime(text)) {
        FUZZ_CHECK(parsed->isValid());
        FUZZ_CHECK(cash_close::parseBoxTime(cash_close::engineTime(*parsed)) == parsed);
        checkStatements(reference, *parsed);
    }

    FUZZ_CHECK(cash_close::parseBoxDate(date.toString(Qt::ISODate), reference) == date);
    const QLocale locale;
    const QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    const auto shortBack = cash_close::parseBoxDate(locale.toString(date, QLocale::ShortFormat), reference);
    if (shortFormat.contains(QLatin1String("yyyy")) || !shortFormat.contains(QLatin1String("yy"))) {
        FUZZ_CHECK(shortBack == date);
    } else {
        const QDate expected = nearestCentury(date, reference);
        if (fourDigitYear(expected)) {
            FUZZ_CHECK(shortBack == expected);
        } else {
            FUZZ_CHECK(!shortBack.has_value());
        }
    }

    FUZZ_CHECK(cash_close::parseBoxTime(time.toString(QStringLiteral("HH:mm:ss"))) == time);
    FUZZ_CHECK(cash_close::parseBoxTime(time.toString(QStringLiteral("hh:mm:ss AP"))) == time);
    checkStatements(date, time);
    return 0;
}
