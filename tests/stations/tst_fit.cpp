// Every digit stays in sight: the widest times and amounts a station can show fit their boxes
// (the text's advance width within the box), whatever the font resolution it runs under.
#include "TestSupport.h"
#include "stations/DisplayBox.h"
#include "stations/formLudomat2.h"

#include <QtTest>
#include <QtWidgets>

class FitTest final : public QObject {
    Q_OBJECT

    static void verifyFits(const QLineEdit *box) {
        const int width = QFontMetrics(box->font()).horizontalAdvance(box->text());
        QVERIFY2(width <= stations::textRoom(box), qPrintable(QStringLiteral("%1 shows «%2»: %3 px in %4 px")
                                                                  .arg(box->objectName(), box->text())
                                                                  .arg(width)
                                                                  .arg(stations::textRoom(box))));
    }

private Q_SLOTS:
    void widestStationBoxes() {
        QLocale::setDefault(QLocale(QStringLiteral("es_AR")));
        testing::TestPlatform t;
        formLudomat2 w(t.platform);
        QVERIFY(w.Form_Load());
        w.Timer1->stop();
        w.setEnabled(true);
        w.show();
        w.rate = {1365, 999999999.99}; // the longest block, the dearest price below 10^9
        w.optModo[0]->setChecked(true);
        w.vsTiempo[0]->setValue(24);
        QCOMPARE(w.txtPesos[0]->text(), QStringLiteral("23999999999,76"));
        for (QLineEdit *box : {w.txtHora[0], w.txtMinuto[0], w.txtPesos[0]})
            verifyFits(box);
        w.vsTiempo[0]->setValue(1);
        QCOMPARE(w.txtMinuto[0]->text(), QStringLiteral("1365"));
        verifyFits(w.txtMinuto[0]);
        // A Contador rental left open for six weeks.
        w.cmdPuesto_Click(1);
        t.clock.advance(999 * 3600 + 59 * 60 + 59);
        w.Timer1_Timer();
        QCOMPARE(w.txtHora[1]->text(), QStringLiteral("999"));
        for (QLineEdit *box : {w.txtHora[1], w.txtMinuto[1], w.txtSegundo[1], w.txtPesos[1]})
            verifyFits(box);
        // Short texts keep the box's own size.
        QCOMPARE(w.txtSegundo[0]->font().pointSizeF(), 12.0);
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_MAIN(FitTest)
#include "tst_fit.moc"
