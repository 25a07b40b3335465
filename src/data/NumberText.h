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

} // namespace numtext
