#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

// Reading the four boxes of the cash close. Everything is checked here before the run sends
// a single statement, so a mistyped box can never leave Caja half rebuilt.
namespace cash_close {

// The regional short date (a two-digit year is put in the century nearest to reference:
// at most 79 years back or 20 ahead), the same with a four-digit year, ISO yyyy-MM-dd, or
// the regional long date. Years outside 1000..9999 are refused: the engine's date literals
// carry four digits.
std::optional<QDate> parseBoxDate(const QString &text, const QDate &reference);

// "HH:mm" or "HH:mm:ss" on a 24-hour clock, or "hh:mm[:ss] AM/PM" (also "a. m." / "p. m.").
std::optional<QTime> parseBoxTime(const QString &text);

// The form the trimming statements and the copies into Caja carry: "HH:mm:ss".
QString engineTime(const QTime &time);

} // namespace cash_close
