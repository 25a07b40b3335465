// Reading the four boxes of the cash close under different regional settings.
#include "cash_close/CashCloseInput.h"

#include <QLocale>
#include <QtTest>

class CashCloseInputTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void dates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected"); // invalid: refused
        const QDate dec5(2026, 12, 5);
        QTest::newRow("es short, two-digit year in this century") << "es_AR"
                                                                  << "5/12/26" << dec5;
        QTest::newRow("es short, four-digit year") << "es_AR"
                                                   << "5/12/2026" << dec5;
        QTest::newRow("es short, 1999 stays in the last century") << "es_AR"
                                                                  << "31/12/99" << QDate(1999, 12, 31);
        QTest::newRow("es short, a year ahead") << "es_AR"
                                                << "1/1/27" << QDate(2027, 1, 1);
        QTest::newRow("es ISO") << "es_AR"
                                << "2026-12-05" << dec5;
        QTest::newRow("es ISO, single digits") << "es_AR"
                                               << "2026-3-1" << QDate(2026, 3, 1);
        QTest::newRow("es long") << "es_AR"
                                 << "sábado, 5 de diciembre de 2026" << dec5;
        QTest::newRow("es surrounding blanks") << "es_AR"
                                               << "  5/12/26 " << dec5;
        QTest::newRow("us short is month first") << "en_US"
                                                 << "12/5/26" << dec5;
        QTest::newRow("us reading a day-first date") << "en_US"
                                                     << "31/12/26" << QDate();
        QTest::newRow("de short") << "de_DE"
                                  << "05.12.26" << dec5;
        QTest::newRow("29 February of a common year") << "es_AR"
                                                      << "29/2/26" << QDate();
        QTest::newRow("29 February of a leap year") << "es_AR"
                                                    << "29/2/28" << QDate(2028, 2, 29);
        QTest::newRow("empty") << "es_AR"
                               << "" << QDate();
        QTest::newRow("words") << "es_AR"
                               << "hoy" << QDate();
        QTest::newRow("month 13") << "es_AR"
                                  << "1/13/26" << QDate();
        QTest::newRow("ISO day 32") << "es_AR"
                                    << "2026-12-32" << QDate();
        QTest::newRow("ISO year below four digits") << "es_AR"
                                                    << "0999-12-05" << QDate();
        QTest::newRow("a statement smuggled in") << "es_AR"
                                                 << "5/12/26# OR 1=1" << QDate();
        QTest::newRow("a time in the date box") << "es_AR"
                                                << "08:00:00" << QDate();
    }

    void dates() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QLocale::setDefault(QLocale(locale));
        const auto date = cash_close::parseBoxDate(text, QDate(2026, 12, 5));
        if (expected.isValid()) {
            QVERIFY2(date.has_value(), qPrintable(text));
            QCOMPARE(*date, expected);
        } else {
            QVERIFY2(!date.has_value(), qPrintable(text));
        }
    }

    // The date the window writes into its boxes must read back as the same day.
    void todayRoundTrips_data() {
        QTest::addColumn<QString>("locale");
        for (const char *name : {"es_AR", "en_US", "de_DE", "fr_FR", "ja_JP", "C"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }

    void todayRoundTrips() {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        for (const QDate day : {QDate(2026, 12, 5), QDate(2030, 1, 31), QDate(2099, 6, 15)}) {
            const auto back = cash_close::parseBoxDate(QLocale().toString(day, QLocale::ShortFormat), day);
            QVERIFY(back.has_value());
            QCOMPARE(*back, day);
        }
    }

    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected");
        QTest::newRow("initial start") << "08:00:00 AM" << QTime(8, 0, 0);
        QTest::newRow("initial end") << "04:00:00 PM" << QTime(16, 0, 0);
        QTest::newRow("noon") << "12:00:00 PM" << QTime(12, 0, 0);
        QTest::newRow("midnight") << "12:00:00 AM" << QTime(0, 0, 0);
        QTest::newRow("lower case, no seconds") << "4:30 pm" << QTime(16, 30, 0);
        QTest::newRow("spanish a. m.") << "9:15:00 a. m." << QTime(9, 15, 0);
        QTest::newRow("24-hour") << "16:00:00" << QTime(16, 0, 0);
        QTest::newRow("24-hour, no seconds") << "7:05" << QTime(7, 5, 0);
        QTest::newRow("last second") << "23:59:59" << QTime(23, 59, 59);
        QTest::newRow("hour 24") << "24:00:00" << QTime();
        QTest::newRow("minute 60") << "08:60:00" << QTime();
        QTest::newRow("second 60") << "08:00:60" << QTime();
        QTest::newRow("13 PM") << "13:00:00 PM" << QTime();
        QTest::newRow("0 AM") << "00:30 AM" << QTime();
        QTest::newRow("hour only") << "8" << QTime();
        QTest::newRow("empty") << "" << QTime();
        QTest::newRow("words") << "mañana" << QTime();
        QTest::newRow("a quote") << "08:00'" << QTime();
        QTest::newRow("a number sign") << "08:00# OR 1=1" << QTime();
    }

    void times() {
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        const auto time = cash_close::parseBoxTime(text);
        if (expected.isValid()) {
            QVERIFY2(time.has_value(), qPrintable(text));
            QCOMPARE(*time, expected);
            QCOMPARE(cash_close::engineTime(*time), expected.toString(QStringLiteral("HH:mm:ss")));
        } else {
            QVERIFY2(!time.has_value(), qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(CashCloseInputTest)
#include "tst_cash_close_input.moc"
