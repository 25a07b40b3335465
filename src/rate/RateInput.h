#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Checking a new rate typed in the rate editor, before any statement is built from it.
namespace rate {

struct NewRate {
    qint16 minutes = 0;
    double pesos = 0.0;
};

// Either a rate, or a Spanish text saying what is wrong with the typed values.
struct RateCheck {
    std::optional<NewRate> rate;
    QString problem;
};

// The minutes: a whole number from 1 to 1365 (a block of no minutes sells nothing for money;
// 24 blocks must still fit the 16-bit count the main window keeps). The pesos: at least 0 and
// below a thousand million, with at most two decimals after a point or the locale's comma, and
// no thousands separator.
RateCheck checkNewRate(const QString &minutesText, const QString &pesosText);

constexpr double kMaxPesos = 1e9;

// An amount as typed in any amount box: digits with at most two decimals after a point or the
// locale's comma, no thousands separator; nullopt when it is not one.
std::optional<double> readPesos(const QString &text);
// What such a box takes, said whenever it refuses something.
QString acceptedForms();

} // namespace rate
