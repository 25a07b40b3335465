// The program's own texts of money and counts: two decimals always, singular only for one.
#include "data/NumberText.h"

#include <QtTest>
#include <limits>

class NumberTextTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void amounts_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qint64>("cents");
        QTest::addColumn<QString>("text");
        const qint64 lowest = std::numeric_limits<qint64>::min();
        for (const char *locale : {"es_AR", "C"}) {
            const QString l = QString::fromLatin1(locale);
            const auto row = [&](const char *name, qint64 cents, QString text) {
                if (l == u"C") {
                    text.replace(u',', u'.');
                }
                QTest::addRow("%s %s", locale, name) << l << cents << text;
            };
            row("whole", 150000, "1500,00");
            row("half", 150050, "1500,50");
            row("one cent", 1, "0,01");
            row("zero", 0, "0,00");
            row("below zero", -50, "-0,50");
            row("no grouping", 123456789012, "1234567890,12");
            row("lowest", lowest, "-92233720368547758,08");
        }
    }

    void amounts() {
        QFETCH(QString, locale);
        QFETCH(qint64, cents);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(numtext::amountText(cents), text);
    }

    // Pesos as the rate keeps them: rounded to the cent, never shown with a binary tail.
    void pesos_data() {
        QTest::addColumn<double>("pesos");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 10.0 << "10,00";
        QTest::newRow("one decimal") << 5.5 << "5,50";
        QTest::newRow("binary tail") << 0.1 + 0.2 << "0,30";
        QTest::newRow("largest rate") << 999999999.99 << "999999999,99";
        QTest::newRow("negative zero") << -0.0 << "0,00";
    }

    void pesos() {
        QFETCH(double, pesos);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        QCOMPARE(numtext::amountText(pesos), text);
    }

    void counts_data() {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("seconds");
        QTest::newRow("none") << qint64(0) << "0 minutos"
                              << "0 segundos";
        QTest::newRow("one") << qint64(1) << "1 minuto"
                             << "1 segundo";
        QTest::newRow("two") << qint64(2) << "2 minutos"
                             << "2 segundos";
        QTest::newRow("twenty-one") << qint64(21) << "21 minutos"
                                    << "21 segundos";
    }

    void counts() {
        QFETCH(qint64, count);
        QFETCH(QString, minutes);
        QFETCH(QString, seconds);
        QCOMPARE(numtext::minutesText(count), minutes);
        QCOMPARE(numtext::secondsText(count), seconds);
    }
};

QTEST_MAIN(NumberTextTest)
#include "tst_number_text.moc"
