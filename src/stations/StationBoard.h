#pragma once

#include "stations/StationTypes.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace accounts {
class Session;
}
namespace data {
class Database;
}
namespace sys {
class Clock;
}

namespace stations {

// What closing a running station records, taken at the press of its button: its time and amount
// caught up to that second, and the instant. The checkout shows exactly this, and it is what is
// recorded, whatever the station ran on while the operator read it.
struct Checkout {
    int index = -1;
    StationMode mode = StationMode::Contador;
    QString openedUtc; // the rental it closes
    qint64 hours = 0;
    qint64 minutes = 0;
    int seconds = 0;
    qint64 blocks = 0;        // Contador: blocks charged; Prepago: blocks bought
    qint64 cents = 0;         // Contador: the amount to collect; Prepago: what was paid for it
    qint64 discountCents = 0; // Contador: already taken off cents
    QDateTime at;             // wall clock
};

// A sale just committed, for its receipt: a prepaid time sold, blocks added to one, a Contador
// closed. kind is the mode its row of Alquiler has; seconds the time sold, or run for a Contador.
struct Sale {
    int number = 0;
    QString name;
    QString kind;
    qint64 seconds = 0;
    qint64 blocks = 0;
    qint64 cents = 0;
    QString operatorName;
    QDateTime at; // wall clock, as recorded
};

// The rental an operation is meant for: a station and the opening its operator saw. An
// operation finds a station that no longer runs that rental and changes nothing.
struct Target {
    int index = -1;
    QString openedUtc;
};

// Who approved a correction, as the account service checked the password, and why it was made.
struct Approval {
    QString administrator;
    QString reason;
};

// What an operation came to: done, or refused with why (in Spanish). A file that refused the
// write is said by writeFailed, and refusal is then empty.
struct Change {
    bool done = false;
    QString refusal;
};

// The room: the five stations, the store their records go through and the rate they open at.
// Every command that changes a station writes its records and journal entries first, in one
// transaction; when the file refuses, the station stays exactly as it was and writeFailed says
// why. What a station's button does follows from the station's state alone. An open station is
// kept in PuestosAbiertos in the same transaction as its record, so it is either recorded and
// closed, or still open, whatever stops the program.
//
// A station's time is the time since it opened on the monotonic clock: each tick moves every
// open station on to that time, one second at a time, so late ticks lose nothing.
class StationBoard final : public QObject {
    Q_OBJECT
public:
    StationBoard(const sys::Clock &clock, const accounts::Session &session, QObject *parent = nullptr);
    ~StationBoard() override;

    // Start-up: the store opened on path and the rate read from Tarifa; every station idle in
    // Contador. On failure the store is closed again and problem says why, in Spanish.
    enum class Loaded { Ready, Refused, Unreadable };
    struct LoadResult {
        Loaded result = Loaded::Ready;
        QString problem;
    };
    LoadResult load(const QString &path);
    // Reads the rate new rentals open at from Tarifa: at the load, and again after a copy of the
    // books was put back (with no station open). What is wrong with the stored rate, in Spanish,
    // and the rate kept; empty when it was taken. Throws DbError when the file cannot be read.
    QString readRate();
    // Brings back the stations left open when the program last stopped, as if it had never
    // stopped; rows no rental can have left are set aside. stationChanged comes for each station
    // brought back, then restored once with what to tell the operator (empty when nothing) and
    // the stations whose prepaid time ran out meanwhile.
    void restore();

    // The room's stations (the delivered five until told otherwise), set between the load and the
    // restore; index 0 is the first row of the window. roomChanged follows, and the stations are idle.
    void setRoom(std::vector<StationSetup> room);
    int count() const { return static_cast<int>(stations_.size()); }
    const StationSetup &setup(int index) const { return setups_[static_cast<size_t>(index)]; }
    bool isStation(int index) const { return index >= 0 && index < count(); }
    // The index of the station with that number; -1 when the room has none.
    int indexOf(int number) const;
    // A station as messages name it, without article: "Puesto 3" for a station of that name
    // and number, else "puesto PS5 Sala" ("No se pudo abrir el %1").
    QString stationLabel(int index) const;
    // The terms a rental opens with on a station now: its type's, the first type's block and
    // price being the rate's (Tarifa).
    pricing::Terms termsFor(int index) const;

    const Station &station(int index) const { return stations_[static_cast<size_t>(index)]; }
    // Its prepaid time ended and the operator has yet to acknowledge it: nothing changes it.
    bool isExpiring(int index) const { return expiring_[static_cast<size_t>(index)]; }
    const Rate &rate() const { return rate_; }
    // Whether closing a running station first shows its checkout (the room's setting, on unless
    // the administrator turned it off; read at the load). Changed with the administrator's name,
    // journaled; false when the file refused it (writeFailed said so).
    bool confirmsCheckout() const { return confirmsCheckout_; }
    bool setConfirmsCheckout(bool on, const QString &administrator);
    // The rate new rentals open at; a rental keeps the rate it opened with.
    void setRate(const Rate &rate) { rate_ = rate; }
    // The handle the records go through; null until loaded.
    data::Database *store() const { return store_.get(); }
    // The statement last built: the rate's read at start-up, then each rental's record.
    const QString &sqlText() const { return sqlText_; }

    // The choices of an idle station, shown until it opens. False, with nothing changed, for a
    // station that runs or a block count out of range.
    bool chooseMode(int index, StationMode mode);
    bool setBlocks(int index, int blocks);
    // The controllers an idle station will open with, 1 to pricing::kMaxControllers.
    bool setControllers(int index, int n);

    // Opens an idle station: Contador with its first block paid, or Prepago with `blocks`
    // blocks bought and recorded at once. Closes a running one: a Contador rental is recorded
    // with its time and amount up to this second, a prepaid one records nothing more. False when
    // nothing changed: the station was not in that state, its prepaid end is being announced,
    // or the file refused (writeFailed said so).
    bool open(int index, StationMode mode, int blocks);
    bool close(int index);
    // The close of a running station as of now; nullopt for a station that does not run or whose
    // prepaid end is being announced. Nothing changes.
    std::optional<Checkout> quoteClose(int index) const;
    // Records a quote: false, with nothing changed, when its rental no longer runs on its station
    // (closed, ended or gone meanwhile) or the file refused it (writeFailed said so).
    bool close(const Checkout &quote);

    // Pauses or resumes a running station: while paused its time, amount and remaining time stand
    // still and the tick passes over it; paused time is never billed. A paused station closes at
    // the time and amount it had when paused. False, with nothing changed, for a station that does
    // not run, is already so, has its prepaid end announced, or when the file refused it.
    bool pause(int index);
    bool resume(int index);
    // Every running station at once, in one transaction (a power cut); false when none changed.
    bool pauseAll();
    bool resumeAll();

    // A running prepaid rental's extension: more blocks, priced by the terms it opened with at the
    // instant they are added (a period may have begun since), its controllers' surcharge
    // included, and recorded at once as their own sale; or free minutes. Its end moves with them.
    Change addBlocks(const Target &target, int blocks);
    Change giveCourtesy(const Target &target, int minutes, const Approval &approval);
    // An amount taken off a running Contador rental at its close, up to what it has run up so far.
    Change giveDiscount(const Target &target, qint64 cents, const Approval &approval);
    // Cancels a running rental: a prepaid one is refunded by a reversing row, a Contador one ends
    // without charge. The station becomes idle.
    Change cancel(const Target &target, const Approval &approval);
    // Takes a running rental, as it is, to an idle station; the old one becomes idle.
    Change move(const Target &target, int toIndex);

    // One tick: every open station moved on to the monotonic clock, count-ups first, so a prepaid
    // station that ends becomes Contador only after them. Ticks missed cost nothing.
    void tick();
    // The operator has read the end of a prepaid time: the station goes idle, Contador.
    void acknowledgeEnd(int index);
    // Keeps each open station's time in its row (the boot clock, the seconds passed, the wall
    // instant seen), all in one transaction; a failure is tried again at the next call.
    void refreshOpenRows();
    // The program's end in the journal, once, in one transaction with the open rows' time, through
    // this handle, whose -wal is then copied back into the file (a handle closed after it would sync
    // the -wal and its folder once more). False when the store is closed or the file refused it.
    bool noteProgramEnd();
    // The program ends: its end noted, or else the open rows' time kept to the second alone (the
    // next start knows how long the program was down), then the store closed.
    void shutDown();
    // A change of user, journaled when the file takes it.
    void noteChangeOfUser();

Q_SIGNALS:
    // The stations are others: their count, names or types changed.
    void roomChanged();
    void stationChanged(int index);
    void prepaidEnded(int index);
    void writeFailed(int index, const QString &message);
    void restored(const QString &message, const QList<int> &ended);
    // After each sale is in the books (never for a write the file refused).
    void saleRecorded(const stations::Sale &sale);

private:
    struct JournalNote {
        QString evento;
        int puesto = 0;
        QString detalle;
    };
    struct Rental {
        QString sql;
        QString detail; // its values, for the journal
    };
    bool setPaused(const QList<int> &indexes, bool pause);
    // Why an operation cannot act on target now; empty when it can.
    QString notRunning(const Target &target) const;
    // A prepaid rental given more blocks or minutes: its row, its record in Operaciones, the
    // station as it then counts.
    Change extendPrepaid(const Target &target, int blocks, int minutes, const Approval *approval);
    // A row of Operaciones and its entry "Operación registrada".
    std::pair<QString, JournalNote> operationRecord(int index, const QString &tipo, const QString &autorizo,
                                                    qint64 minutes, qint64 cents, const QString &motivo,
                                                    const QDateTime &at) const;
    Rental rentalRecord(int index, const Station &s, bool contador, const QDateTime &at);
    // A row of Alquiler in the given mode, with its time and amount.
    Rental rentalRecord(int index, const QString &modo, double hours, double minutes, qint64 cents,
                        const QDateTime &at);
    // The writes and their journal entries in one transaction; on failure writeFailed and false,
    // and nothing of it is written.
    bool persist(int index, const QStringList &writes, const QList<JournalNote> &notes, const QString &failure);
    // Writes and journal entries nothing else depends on, together, when the file lets them;
    // false when nothing was written.
    bool writeBestEffort(const QStringList &writes, const QList<JournalNote> &notes);
    void appendNotes(const QList<JournalNote> &notes);
    // The open stations' rows with the time seen now.
    QStringList openRowWrites() const;
    void markEnded(int index);
    void announceSale(int index, const QString &kind, qint64 seconds, qint64 blocks, qint64 cents, const QDateTime &at);
    // The rate of a station's terms, as its prepaid split and its row use it.
    Rate rateFor(int index) const;
    // An idle prepaid choice's amount as its terms price it now.
    void priceChoice(int index);
    // A station the room lacks, for a rental restored on it: "Puesto N" at the end of the room.
    int addStation(int number, const QString &type, const pricing::Terms &terms);
    void removeEndedRows();

    const sys::Clock &clock_;
    const accounts::Session &session_;
    std::unique_ptr<data::Database> store_;
    QString sqlText_;
    Rate rate_;
    std::vector<StationSetup> setups_;
    std::vector<Station> stations_;
    std::vector<char> expiring_;
    // The stored opening of a prepaid time that ended, whose row still has to go.
    std::vector<QString> endedRows_;
    bool endNoted_ = false;
    bool confirmsCheckout_ = true;
};

} // namespace stations
