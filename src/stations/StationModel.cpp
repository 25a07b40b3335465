#include "stations/StationModel.h"

#include <QDateTime>
#include <algorithm>

namespace stations {

bool plainTerms(const pricing::Terms &terms, int controllers) {
    return terms.periods.empty() && terms.minimumBlocks <= 1 && terms.toleranceMinutes <= 0 && controllers <= 1;
}

pricing::Terms termsOf(const Rate &rate) {
    pricing::Terms terms;
    terms.minutes = rate.Minutos;
    terms.cents = rate.cents;
    return terms;
}

namespace {

// A Contador rental priced by its terms rather than block by block at its rate.
bool pricedByTerms(const Station &s) {
    return s.terms && !plainTerms(*s.terms, s.controllers);
}

// Such a rental after `elapsed` seconds: its blocks, and their price only when their count
// changed (the tick stays cheap).
void chargeByTerms(Station &s, qint64 elapsed) {
    const qint64 due = pricing::contadorBlocks(*s.terms, elapsed);
    if (due != s.blocksCharged) {
        s.blocksCharged = due;
        const QDateTime opened = QDateTime::fromString(s.openedUtc, Qt::ISODate).toLocalTime();
        s.cents = pricing::contadorPrice(*s.terms, opened, elapsed, s.controllers).cents;
    }
}

} // namespace

qint64 blockAmount(qint64 cents, qint64 blocks) {
    return cents * blocks;
}

void chooseContador(Station &s) {
    s.cents = 0;
    s.hours = 0;
    s.minutes = 0;
    s.mode = StationMode::Contador;
}

void setBlocks(Station &s, int blocks, const Rate &rate) {
    s.blocks = blocks;
    const PrepaidTime split = prepaidSplit(rate.Minutos, blocks);
    s.hours = split.hours;
    s.minutes = split.minutes;
    s.cents = blockAmount(rate.cents, blocks);
}

void choosePrepago(Station &s, const Rate &rate) {
    setBlocks(s, 1, rate);
    s.mode = StationMode::Prepago;
}

void openStation(Station &s, const Rate &rate, qint64 nowMs, const QString &openedUtc) {
    s.rate = rate;
    s.openedAtMs = nowMs;
    s.openedUtc = openedUtc;
    s.secondsDone = 0;
    s.blockMinutes = 0;
    s.pausedMs = 0;
    s.pausedAtMs = -1;
    s.courtesyMinutes = 0;
    s.discountCents = 0;
    s.running = true;
    if (s.mode == StationMode::Contador) {
        s.hours = 0;
        s.minutes = 0;
        s.seconds = 0;
        if (pricedByTerms(s)) {
            s.blocksCharged = -1;
            chargeByTerms(s, 0);
        } else {
            s.blocksCharged = 1; // every started block is paid, the first at once
            s.cents = blockAmount(rate.cents, 1);
        }
    } else {
        s.seconds = 0;
    }
}

void closeStation(Station &s) {
    s.running = false;
    s.mode = StationMode::Contador;
    s.cents = 0;
    s.hours = 0;
    s.minutes = 0;
    s.seconds = 0;
    s.blocksCharged = 0;
    s.pausedMs = 0;
    s.pausedAtMs = -1;
    s.courtesyMinutes = 0;
    s.discountCents = 0;
    s.terms.reset();
    s.controllers = 1; // the next rental starts with one, whatever this one had
    // The scroll bar keeps its value for the next rental, within its range after an extension.
    s.blocks = std::min(s.blocks, kMaxBlocks);
}

qint64 boughtSeconds(const Station &s) {
    const PrepaidTime split = prepaidSplit(s.rate.Minutos, s.blocks);
    return (static_cast<qint64>(split.hours) * 60 + split.minutes + s.courtesyMinutes) * 60;
}

bool recountPrepaid(Station &s, qint64 nowMs) {
    const PrepaidTime split = prepaidSplit(s.rate.Minutos, s.blocks);
    s.hours = split.hours;
    s.minutes = split.minutes + s.courtesyMinutes;
    s.seconds = 0;
    s.flash = Flash::Unset;
    s.secondsDone = 0;
    return !catchUp(s, nowMs).ended;
}

namespace {

// The change of the minutes box: one more minute of a Contador rental, a block charged every
// Minutos of them; under other terms the blocks they charge after `elapsed` seconds (block
// edges and tolerances are whole minutes, so the minutes' changes see every one).
void minuteChanged(Station &s, qint64 elapsed) {
    if (!s.running || s.mode != StationMode::Contador) {
        return;
    }
    if (pricedByTerms(s)) {
        chargeByTerms(s, elapsed);
        return;
    }
    const BlockCount next = countMinute(s.blockMinutes, s.rate.Minutos);
    s.blockMinutes = next.blockMinutes;
    if (next.charge) {
        ++s.blocksCharged;
        s.cents = blockAmount(s.rate.cents, s.blocksCharged);
    }
}

// The change of the seconds box: in the last minute of a prepaid time the three boxes turn
// red, then white, then red again, one change a second.
void secondChanged(Station &s) {
    if (!s.running || s.mode != StationMode::Prepago || s.hours != 0 || s.minutes != 0) {
        return;
    }
    s.flash = s.flash == Flash::Red ? Flash::White : Flash::Red;
}

} // namespace

bool stepSecond(Station &s) {
    const auto h = static_cast<double>(s.hours);
    const auto m = static_cast<double>(s.minutes);
    const auto sec = static_cast<double>(s.seconds);
    const TickStep step = s.mode == StationMode::Contador ? countUpStep(h, m, sec) : countDownStep(h, m, sec);
    if (step.ended) {
        return true;
    }
    // The writes in the order the tick makes them: the minutes before the seconds.
    for (int w = 0; w < step.count; ++w) {
        const BoxWrite &write = step.writes[static_cast<size_t>(w)];
        switch (write.box) {
        case TimeBox::Hora:
            s.hours = static_cast<qint64>(write.value);
            break;
        case TimeBox::Minuto:
            s.minutes = static_cast<qint64>(write.value);
            minuteChanged(s, s.secondsDone + 1);
            break;
        case TimeBox::Segundo:
            s.seconds = static_cast<int>(write.value);
            secondChanged(s);
            break;
        }
    }
    ++s.secondsDone;
    return false;
}

CatchUp catchUp(Station &s, qint64 nowMs) {
    CatchUp result;
    if (!s.running) {
        return result;
    }
    // The time it ran: up to now, or to the start of its pause, less the time it stood paused.
    const qint64 until = (s.paused() ? s.pausedAtMs : nowMs) - s.pausedMs;
    const qint64 due = until > s.openedAtMs ? (until - s.openedAtMs) / 1000 : 0;
    while (s.secondsDone < due) {
        if (stepSecond(s)) {
            result.ended = true;
            break;
        }
        ++result.steps;
    }
    return result;
}

} // namespace stations
