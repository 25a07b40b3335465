#pragma once

#include <QString>
#include <optional>

// Numbers written as text: the plain regional form the boxes and totals show (the locale's
// decimal separator, no grouping, no currency sign, no leading zeros, at most 15 significant
// digits, nothing rounded beyond that), and the form the database engine reads.
namespace numtext {

QString toText(double value);
// Reads a box's text under the locale, or with a point as the separator; nullopt when the
// text is not a plain number.
std::optional<double> fromText(const QString &text);
// The shortest text that reads back as exactly the same double, with a decimal point.
QString engineNumber(double value);

// Money in the program's own sentences (messages, summaries, the printed report): the locale's
// decimal separator, always two decimals, no grouping, no sign before zero ("1500,50", "-0,50").
QString amountText(qint64 cents);
// Pesos rounded half away from zero to the cent first.
QString amountText(double pesos);
// A count and its word, the singular only for one: "1 minuto", "0 minutos", "30 minutos".
QString counted(qint64 count, const QString &one, const QString &many);
QString minutesText(qint64 minutes);
QString secondsText(qint64 seconds);

} // namespace numtext
