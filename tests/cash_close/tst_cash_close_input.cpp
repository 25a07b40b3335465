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
        const auto row = [](const char *name, const char *locale, const char *text, QDate expected) {
            QTest::newRow(name) << locale << text << expected;
        };
        const QDate dec5(2026, 12, 5);
        row("es short, two-digit year in this century", "es_AR", " 5/12/26 ", dec5);
        row("es short, 1999 stays in the last century", "es_AR", "31/12/99", QDate(1999, 12, 31));
        row("es long", "es_AR", "sábado, 5 de diciembre de 2026", dec5);
        row("ISO, single digits", "es_AR", "2026-3-1", QDate(2026, 3, 1));
        row("us short is month first", "en_US", "12/5/26", dec5);
        row("us reading a day-first date", "en_US", "31/12/26", QDate());
        row("29 February of a common year", "es_AR", "29/2/26", QDate());
        row("29 February of a leap year", "es_AR", "29/2/28", QDate(2028, 2, 29));
    }

    void dates() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QDate, expected);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(cash_close::parseBoxDate(text, QDate(2026, 12, 5)).value_or(QDate()), expected);
    }

    void times_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("expected"); // invalid: refused
        const auto row = [](const char *text, QTime expected) { QTest::newRow(text) << text << expected; };
        row("08:00:00 AM", QTime(8, 0));
        row("12:00:00 AM", QTime(0, 0));
        row("4:30 pm", QTime(16, 30));
        row("9:15:00 a. m.", QTime(9, 15));
        row("24:00:00", QTime());
        row("08:60:00", QTime());
        row("13:00:00 PM", QTime());
        QTest::newRow("empty") << QString() << QTime();
    }

    void times() {
        QFETCH(QString, text);
        QFETCH(QTime, expected);
        const auto time = cash_close::parseBoxTime(text);
        QCOMPARE(time.value_or(QTime()), expected);
        QCOMPARE(time ? cash_close::engineTime(*time) : QString(), expected.toString(QStringLiteral("HH:mm:ss")));
    }
};

QTEST_GUILESS_MAIN(CashCloseInputTest)
#include "tst_cash_close_input.moc"
