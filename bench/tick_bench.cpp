// The cost of one tick of the main window with all five stations open (three counting up,
// two counting down), measured over many ticks through the real widgets on the offscreen
// platform.
#include "stations/formLudomat2.h"
#include "ui/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

class FixedClock final : public ui::Clock {
public:
    QDate today() const override { return QDate(2026, 12, 5); }
    QTime timeOfDay() const override { return QTime(14, 5, 9); }
};
class SilentMessages final : public ui::MessagePresenter {
public:
    void showMessage(QWidget *, const QString &) override {}
};
class SilentAlarm final : public ui::AlarmPlayer {
public:
    void play(const QString &) override {}
};
class NoEnd final : public ui::ProgramEnder {
public:
    void endProgram() override {}
};

} // namespace

int main(int argc, char *argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (argc < 2 || !QFile::copy(QString::fromLocal8Bit(argv[1]), folder.path() + QStringLiteral("/dbLudomat.mdb"))) {
        std::fprintf(stderr, "usage: tick_bench <template database>\n");
        return 2;
    }
    FixedClock clock;
    SilentMessages messages;
    SilentAlarm alarm;
    NoEnd ender;
    ui::Platform platform{clock, messages, alarm, ender, folder.path()};
    formLudomat2 w(platform);
    if (!w.Form_Load()) {
        return 1;
    }
    w.Timer1->stop();
    w.setEnabled(true);
    for (int i = 0; i < 5; ++i) {
        if (i >= 3) {
            w.optModo[static_cast<size_t>(2 * i)]->setChecked(true);
            w.vsTiempo[static_cast<size_t>(i)]->setValue(24);
        }
        w.cmdPuesto_Click(i);
    }
    constexpr int kTicks = 20000; // under six hours of station time: no prepaid time runs out
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < kTicks; ++n) {
        w.Timer1_Timer();
    }
    const double perTickUs = static_cast<double>(timer.nsecsElapsed()) / kTicks / 1000.0;
    std::printf("one tick, five stations open: %.1f us (%.4f %% of the one-second period)\n", perTickUs,
                perTickUs / 10000.0);
    std::printf("  station 1 after %d ticks: %s:%s:%s, $%s\n", kTicks, qPrintable(w.txtHora[0]->text()),
                qPrintable(w.txtMinuto[0]->text()), qPrintable(w.txtSegundo[0]->text()),
                qPrintable(w.txtPesos[0]->text()));
    return 0;
}
