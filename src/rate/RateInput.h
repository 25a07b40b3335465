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

// The minutes: a whole number from 0 to 1365, so that 24 blocks still fit the 16-bit count
// the main window keeps. The pesos: a number of at least 0 and below a thousand million,
// with the locale's decimal separator or a point.
RateCheck checkNewRate(const QString &minutesText, const QString &pesosText);

constexpr double kMaxPesos = 1e9;

} // namespace rate
