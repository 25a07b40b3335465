#pragma once

#include <QString>
#include <QtGlobal>
#include <array>

// The arithmetic of a station, apart from its widgets: the prepaid split, one tick of the
// clock, the block charge of a Contador rental and the time a rental is recorded with.
namespace stations {

// A price in pesos, as the file keeps it, in whole cents (half a cent away from zero). Only
// for a finite price below kMaxRatePesos.
qint64 centsOf(double pesos);
// An amount in cents as the pesos the boxes show and the records hold: the double nearest to
// the exact amount, whose shortest text is the amount itself ("99.95", never "99.949999...").
double pesosOf(qint64 cents);

struct PrepaidTime {
    int hours = 0;
    int minutes = 0;
};

// The time shown for `blocks` prepaid blocks of `minutos` minutes. The carry stops once no
// more than one block's worth of minutes remains, so one block of 60 shows 0 h 60 min. Where
// that carry would take the minutes below zero (a remainder between `minutos` and 60, e.g.
// 20 minutes at two blocks) the plain split into hours and minutes is shown instead.
// Always hours * 60 + minutes == minutos * blocks and minutes >= 0.
PrepaidTime prepaidSplit(qint16 minutos, int blocks);

enum class TimeBox { Hora, Minuto, Segundo };

struct BoxWrite {
    TimeBox box = TimeBox::Segundo;
    double value = 0;
};

// What one tick writes into a station's time boxes, in the order it writes them: the change
// handlers of the minutes and seconds boxes see the writes in this order.
struct TickStep {
    std::array<BoxWrite, 3> writes{};
    int count = 0;
    bool ended = false; // a prepaid time found at 0:0:0
};

TickStep countUpStep(double hours, double minutes, double seconds);
TickStep countDownStep(double hours, double minutes, double seconds);

struct BlockCount {
    qint16 blockMinutes = 0;
    bool charge = false; // add one more block's price
};

// One change of the minutes box of a running Contador rental. A rate of 0 minutes never
// charges and never counts, so the 16-bit count cannot run over.
BlockCount countMinute(qint16 blockMinutes, qint16 minutos);

struct RecordedTime {
    QString hours;
    QString minutes;
};

// The Tiempo of a record: the true duration, minutes of 60 or more carried into the hours
// (0 h 60 min is 1:0), hours never wrapped at 24. Seconds are not recorded.
RecordedTime recordedTime(double hours, double minutes);

// A station's time as the checkout, the corrections and the journal give it: "1:05:09".
QString clockText(qint64 hours, qint64 minutes, int seconds);

} // namespace stations
