#pragma once

#include "shifts/Shift.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace data {
class Database;
}
namespace sys {
class Clock;
}

namespace shifts {

// The most a float, a movement or a drawer may hold: beyond it an amount is a typing slip.
constexpr qint64 kMaxCashCents = 10'000'000'00LL; // 10 000 000 pesos
// The most pieces of one denomination a count takes.
constexpr qint64 kMaxPieces = 100'000;

// Why an amount typed in pesos cannot be a float or a movement (in Spanish); its cents when it can.
struct AmountCheck {
    qint64 cents = 0;
    QString problem;
};
AmountCheck checkFloat(const QString &typed);
AmountCheck checkMovementAmount(const QString &typed);
// Why a count of one denomination as typed is refused; its pieces when taken. An empty box is 0.
struct PiecesCheck {
    qint64 pieces = 0;
    QString problem;
};
PiecesCheck checkPieces(const QString &typed, qint64 denominationCents);

// What a shift's slip carries: the shift as stored by its close, the count (empty: closed
// uncounted) and which count it is, and the journal entry that recorded it, to be checked
// against the file.
struct Closing {
    ShiftRecord shift;
    Count count;
    int countNumber = 0; // 1: the close's count; 2 on: a recount; 0: none
    qint64 journalSecuencia = 0;
    QString journalHash;
};

// The operator's shifts over the books: opened with a float, cash put in or taken out, closed
// with a count of the drawer (or uncounted, by the administrator), recounted, annotated. Each
// command writes its rows and journal entries in one transaction on the board's handle: all of
// it, or nothing and a message in Spanish. Nothing here holds a shift in memory: the books say
// which one is open.
class ShiftService final : public QObject {
    Q_OBJECT
public:
    // store: the handle the writes go through (the station board's), null while the books are closed.
    ShiftService(const sys::Clock &clock, std::function<data::Database *()> store, QObject *parent = nullptr);

    struct Result {
        bool ok = false;
        QString problem; // in Spanish, when not ok
    };
    struct CloseResult {
        bool ok = false;
        QString problem;
        Closing closing;
    };

    // The shift open now with its totals so far, or none; problem set when the file could not be read.
    struct Current {
        std::optional<ShiftRecord> shift;
        QString problem;
    };
    Current current() const;
    // What the drawer held when the last shift closed: the float a new shift is offered.
    qint64 suggestedFloat() const;
    // The notes and coins a count lists (the room's setting "Denominaciones", else the delivered ones).
    QVector<qint64> denominations() const;
    Result setDenominations(const QVector<qint64> &cents, const QString &administrator);

    // A shift for user, its sales those recorded from now on. Refused while another is open.
    Result open(const QString &user, qint64 floatCents);
    // Cash moved by hand in the open shift; a Gasto needs its reason.
    Result addMovement(MovementKind kind, qint64 cents, const QString &reason, const QString &user);
    // The open shift closed with its count: totals, expected, counted, difference, its last sale.
    CloseResult close(const Count &count, const QString &user);
    // Another count of a closed shift: a new row; the shift's counted and difference follow it.
    CloseResult recount(qint64 numero, const Count &count, const QString &user);
    // The open shift closed without a count, on the administrator's word.
    CloseResult closeUncounted(const QString &administrator);
    // The administrator's note on a shift, replacing any before (the journal keeps each).
    Result setNote(qint64 numero, const QString &note, const QString &administrator);

Q_SIGNALS:
    void shiftOpened(const shifts::ShiftRecord &shift);
    void cashMoved();
    // A shift closed or recounted: what its slip needs.
    void shiftClosed(const shifts::Closing &closing);

private:
    data::Database *handle() const;
    CloseResult finish(const std::optional<Count> &count, const QString &user, const QString &failure);

    const sys::Clock &clock_;
    std::function<data::Database *()> store_;
};

} // namespace shifts
