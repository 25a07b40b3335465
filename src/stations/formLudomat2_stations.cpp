// The station logic of the main window: modes, prepaid time, opening and closing, the tick.
//
// The stations live in plain records (StationModel.h) that the handlers change and the boxes
// show. A station's time is the time since it opened on the monotonic clock: each tick steps
// every open station on to that time, one second at a time, so late ticks lose nothing.
// An open station is kept in PuestosAbiertos, written in the same transaction as its record,
// so it is either recorded and closed, or still open, whatever stops the program.
#include "stations/formLudomat2.h"

#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "stations/DisplayBox.h"
#include "stations/Module1.h"
#include "stations/OpenStations.h"
#include "stations/StationModel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace {

using stations::StationMode;

size_t at(int index) {
    return static_cast<size_t>(index);
}

} // namespace

void formLudomat2::moveFocus(QWidget *target) {
    // A prepaid time may end while the accounts or cash-close window holds the main window
    // disabled; no focus moves into a window that takes no input.
    if (isEnabled()) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void formLudomat2::showStation(int index) {
    const auto i = at(index);
    const stations::Station &s = station[i];
    stations::setDisplayText(txtHora[i], numtext::toText(static_cast<double>(s.hours)));
    stations::setDisplayText(txtMinuto[i], numtext::toText(static_cast<double>(s.minutes)));
    stations::setDisplayText(txtSegundo[i], QString::number(s.seconds));
    stations::setDisplayText(txtPesos[i], numtext::toText(s.pesos));
    const QColor colour = s.flash == stations::Flash::Red     ? QColor(255, 0, 0)
                          : s.flash == stations::Flash::White ? QColor(255, 255, 255)
                                                              : QColor();
    for (QLineEdit *box : {txtHora[i], txtMinuto[i], txtSegundo[i]}) {
        const QColor wanted = colour.isValid() ? colour : stations::initialBackground(box);
        if (stations::boxBackground(box) != wanted) {
            stations::setBoxBackground(box, wanted);
        }
    }
}

// Modes and prepaid time ------------------------------------------------------------------

void formLudomat2::optModo_Click(int index) {
    const int i = index / 2;
    if (index % 2 == 0) {
        vsTiempo[at(i)]->setEnabled(true);
        moveFocus(vsTiempo[at(i)]);
        vsTiempo[at(i)]->setValue(1); // runs the prepaid split only if the value changes
        stations::choosePrepago(station[at(i)], rate);
    } else {
        vsTiempo[at(i)]->setEnabled(false);
        moveFocus(cmdPuesto[at(i)]);
        stations::chooseContador(station[at(i)]);
    }
    showStation(i);
}

bool formLudomat2::optModo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep moving between the two options
    }
    const int i = index / 2;
    moveFocus(index % 2 == 0 ? static_cast<QWidget *>(vsTiempo[at(i)]) : cmdPuesto[at(i)]);
    return true;
}

bool formLudomat2::vsTiempo_KeyDown(int index, int key, Qt::KeyboardModifiers) {
    if (!ui::isEnterKey(key)) {
        return false; // arrows keep stepping the block count
    }
    moveFocus(cmdPuesto[at(index)]);
    return true;
}

void formLudomat2::vsTiempo_Change(int index) {
    stations::setBlocks(station[at(index)], vsTiempo[at(index)]->value(), rate);
    showStation(index);
}

// Opening and closing ---------------------------------------------------------------------

void formLudomat2::cmdPuesto_Click(int index) {
    const auto i = at(index);
    if (expiring[i]) {
        return; // its end-of-prepaid message is still open; the reset follows its dismissal
    }
    stations::Station &s = station[i];
    const bool contador = s.mode == StationMode::Contador;
    const int n = index + 1;
    const QString modo = contador ? QStringLiteral("Contador") : QStringLiteral("Prepago");
    if (cmdPuesto[i]->text() == runningCaption(index) && contador) {
        // The time up to this very second, not only to the last tick.
        stations::catchUp(s, platform().clock.monotonicMs());
        showStation(index);
        const Rental rental = rentalRecord(index, true);
        const QString closed = QStringLiteral("Modo=Contador; Tiempo=%1:%2:%3; Importe=%4")
                                   .arg(s.hours)
                                   .arg(s.minutes, 2, 10, QLatin1Char('0'))
                                   .arg(s.seconds, 2, 10, QLatin1Char('0'))
                                   .arg(numtext::engineNumber(s.pesos)) +
                               journal::openingSuffix(s.openedUtc);
        if (persist(index, {rental.sql, statements::puestoAbiertoDelete(n, s.openedUtc)},
                    {{journal::event::kRentalRecorded, n, rental.detail}, {journal::event::kStationClosed, n, closed}},
                    QStringLiteral("No se pudo registrar el alquiler del Puesto %1"))) {
            resetStation(index);
        }
    } else if (cmdPuesto[i]->text() == runningCaption(index) && !contador) {
        // Paid in advance: closing early records nothing more.
        if (persist(index, {statements::puestoAbiertoDelete(n, s.openedUtc)},
                    {{journal::event::kStationClosed, n,
                      QStringLiteral("Modo=Prepago; cerrado antes de terminar") + journal::openingSuffix(s.openedUtc)}},
                    QStringLiteral("No se pudo cerrar el Puesto %1"))) {
            resetStation(index);
        }
    } else if (cmdPuesto[i]->text() == idleCaption(index)) {
        const QDateTime now = platform().clock.wallTime();
        const qint64 nowMs = platform().clock.monotonicMs();
        const QString opened = stations::instantText(now);
        QStringList writes;
        QList<JournalNote> notes;
        if (!contador) {
            const Rental rental = rentalRecord(index, false);
            writes << rental.sql;
            notes << JournalNote{journal::event::kRentalRecorded, n, rental.detail};
        }
        const QString end = contador ? QString() : stations::instantText(stations::prepaidEnd(now, rate, s.blocks));
        writes << statements::puestoAbiertoInsert(n, contador, lblUsuario->text(), opened, rate.Minutos,
                                                  numtext::engineNumber(rate.Pesos), contador ? 0 : s.blocks, end,
                                                  platform().clock.bootId(), nowMs);
        notes << JournalNote{journal::event::kStationOpened, n,
                             QStringLiteral("Modo=%1; %2Tarifa=%3 minutos por %4")
                                     .arg(modo, contador ? QString() : QStringLiteral("Bloques=%1; ").arg(s.blocks))
                                     .arg(rate.Minutos)
                                     .arg(numtext::engineNumber(rate.Pesos)) +
                                 journal::openingSuffix(opened)};
        if (persist(index, writes, notes,
                    contador ? QStringLiteral("No se pudo abrir el Puesto %1")
                             : QStringLiteral("No se pudo registrar el alquiler del Puesto %1"))) {
            stations::openStation(s, rate, nowMs, opened);
            lockStation(index);
            showStation(index);
        }
    }
}

formLudomat2::Rental formLudomat2::rentalRecord(int index, bool contador) {
    const stations::Station &s = station[at(index)];
    const stations::RecordedTime tiempo =
        stations::recordedTime(static_cast<double>(s.hours), static_cast<double>(s.minutes));
    // The date and time at which it is recorded: a rental closed after midnight belongs to the new day.
    const QDateTime now = platform().clock.wallTime();
    const QString hora = now.time().toString(QStringLiteral("HH:mm:ss"));
    const QString importe = numtext::engineNumber(s.pesos);
    sqlText = statements::alquilerInsert(index + 1, contador, lblUsuario->text(), now.date().day(),
                                         statements::monthAbbrev(now.date().month()), now.date().year(), hora,
                                         tiempo.hours, tiempo.minutes, importe);
    return {sqlText,
            journal::rentalDetail(QString::number(index + 1),
                                  contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"), lblUsuario->text(),
                                  now.date().toString(Qt::ISODate), hora, tiempo.hours, tiempo.minutes, importe)};
}

bool formLudomat2::persist(int index, const QStringList &writes, const QList<JournalNote> &notes,
                           const QString &failure) {
    try {
        if (!database) {
            throw data::DbError(QStringLiteral("La base de datos no está abierta."), writes.value(0));
        }
        data::runInTransaction(*database, [&] {
            for (const QString &sql : writes) {
                database->execute(sql);
            }
            for (const JournalNote &note : notes) {
                journal::append(*database, platform().clock.wallTime(), journalUser(), note.evento, note.puesto,
                                note.detalle);
            }
        });
        return true;
    } catch (const data::DbError &error) {
        // Nothing of the station has changed yet: it stays open, or idle, as it was.
        platform().messages.showMessage(
            this, failure.arg(index + 1) + QStringLiteral("; el puesto sigue como estaba.\n\n") + error.describe());
        return false;
    }
}

bool formLudomat2::journalBestEffort(const QStringList &writes, const QList<JournalNote> &notes) {
    if (!database || (writes.isEmpty() && notes.isEmpty())) {
        return database != nullptr;
    }
    try {
        data::runInTransaction(*database, [&] {
            for (const QString &sql : writes) {
                database->execute(sql);
            }
            for (const JournalNote &note : notes) {
                journal::append(*database, platform().clock.wallTime(), journalUser(), note.evento, note.puesto,
                                note.detalle);
            }
        });
        return true;
    } catch (const data::DbError &) {
        return false; // nothing depended on it: a read-only file, a full disk
    }
}

void formLudomat2::unlockToContador(int index) {
    const auto i = at(index);
    cmdPuesto[i]->setText(idleCaption(index));
    station[i].running = false;
    optModo[2 * i]->setEnabled(true);
    optModo[2 * i + 1]->setEnabled(true);
    // From Prepago this runs the choice of Contador; from Contador nothing changes.
    optModo[2 * i + 1]->setChecked(true);
}

void formLudomat2::resetStation(int index) {
    unlockToContador(index);
    stations::closeStation(station[at(index)]);
    showStation(index);
}

void formLudomat2::lockStation(int index) {
    const auto i = at(index);
    cmdPuesto[i]->setText(runningCaption(index));
    optModo[2 * i]->setEnabled(false);
    optModo[2 * i + 1]->setEnabled(false);
    vsTiempo[i]->setEnabled(false);
}

// The tick --------------------------------------------------------------------------------

void formLudomat2::Timer1_Timer() {
    const qint64 now = platform().clock.monotonicMs();
    // Count-ups first: a prepaid station that ends below becomes Contador only after them.
    for (const StationMode pass : {StationMode::Contador, StationMode::Prepago}) {
        for (int index = 0; index < stations::kStations; ++index) {
            stations::Station &s = station[at(index)];
            if (!s.running || s.mode != pass || expiring[at(index)]) {
                continue;
            }
            const stations::CatchUp moved = stations::catchUp(s, now);
            if (moved.steps > 0) {
                showStation(index);
            }
            if (moved.ended) {
                endPrepaid(index);
            }
        }
    }
    removeEndedRows();
}

void formLudomat2::endPrepaid(int index) {
    markEnded(index);
    announceEnd(index);
}

void formLudomat2::markEnded(int index) {
    const auto i = at(index);
    // The message waits for the operator while ticks go on: this station sits them out, the
    // others keep counting, and its reset follows the dismissal.
    expiring[i] = true;
    endedRows[i] = station[i].openedUtc;
    removeEndedRows();
}

void formLudomat2::announceEnd(int index) {
    Module1::SoundAlarm(platform());
    platform().messages.postMessage(
        this, QStringLiteral("Finalizó el tiempo del prepago en el Puesto %1.").arg(index + 1), [this, index] {
            expiring[at(index)] = false;
            unlockToContador(index);
            showStation(index);
        });
}

QStringList formLudomat2::openRowWrites() const {
    const ui::Clock &clock = platform().clock;
    const qint64 now = clock.monotonicMs();
    const QString boot = clock.bootId();
    const QString seen = stations::instantText(clock.wallTime());
    QStringList writes;
    for (int index = 0; index < stations::kStations; ++index) {
        const stations::Station &s = station[at(index)];
        if (s.running && !expiring[at(index)]) {
            writes << statements::puestoAbiertoReloj(index + 1, s.openedUtc, boot, s.openedAtMs,
                                                     std::max<qint64>(0, now - s.openedAtMs) / 1000, seen);
        }
    }
    return writes;
}

void formLudomat2::refreshOpenRows() {
    if (!database) {
        return;
    }
    const QStringList writes = openRowWrites();
    if (writes.isEmpty()) {
        return;
    }
    try {
        data::runInTransaction(*database, [&] {
            for (const QString &sql : writes) {
                database->execute(sql);
            }
        });
    } catch (const data::DbError &) {
        // Nothing depends on it at once: the rows keep the last time seen until the next try.
    }
}

void formLudomat2::removeEndedRows() {
    // The row of a prepaid time that ended goes as soon as the file lets it, with its journal
    // entry; until then a restart would only end it once more.
    for (int index = 0; index < stations::kStations; ++index) {
        QString &row = endedRows[at(index)];
        if (row.isEmpty() || !database) {
            continue;
        }
        try {
            data::runInTransaction(*database, [&] {
                database->execute(statements::puestoAbiertoDelete(index + 1, row));
                journal::append(*database, platform().clock.wallTime(), journalUser(), journal::event::kPrepaidEnded,
                                index + 1, QStringLiteral("Apertura=") + row);
            });
            row.clear();
        } catch (const data::DbError &) {
            // Tried again on the next tick.
        }
    }
}

// Start-up: the stations that were open when the program last stopped -----------------------

void formLudomat2::restoreStations() {
    data::Recordset rows;
    try {
        rows = database->openRecordset(statements::puestosAbiertosList());
    } catch (const data::DbError &error) {
        afterSignIn([this, text = QStringLiteral("No se pudieron leer los puestos en curso.\n\n") + error.describe()] {
            platform().messages.postMessage(this, text, {});
        });
        return;
    }
    const ui::Clock &clock = platform().clock;
    const QDateTime wall = clock.wallTime();
    const stations::ClockReading now{wall.toUTC(), clock.monotonicMs(), clock.bootId()};
    const QString seen = stations::instantText(wall);
    stations::RestoreReport report;
    QList<stations::Elapsed> times;
    QList<int> ended;
    // A row that cannot come back is moved aside, before any restored row is touched, so it
    // keeps every value as it was found.
    QStringList asideWrites;
    QStringList restoredWrites;
    QList<JournalNote> asideNotes;
    QList<JournalNote> restoredNotes;
    const auto setAside = [&](const stations::RowCheck &check, const QString &why) {
        report.rejected << check.label + QStringLiteral(": ") + why;
        asideWrites << statements::puestoApartar(check.fila, why, seen)
                    << statements::puestoAbiertoDeleteFila(check.fila);
        asideNotes << JournalNote{journal::event::kStationSetAside, check.puesto,
                                  check.detail + QStringLiteral("; Motivo=") + why};
    };
    for (; !rows.isEof(); rows.moveNext()) {
        const stations::RowCheck check = stations::checkOpenRow(rows);
        if (!check.row) {
            setAside(check, check.problem);
            continue;
        }
        const stations::OpenRow &row = *check.row;
        const int index = row.puesto - 1;
        if (station[at(index)].running) {
            setAside(check, QStringLiteral("el Puesto %1 ya tiene otro alquiler en curso").arg(row.puesto));
            continue;
        }
        const stations::Elapsed elapsed = stations::elapsedAtStart(row, now);
        if (!elapsed.problem.isEmpty()) {
            setAside(check, elapsed.problem);
            continue;
        }
        const stations::Restored back = stations::restoreStation(row, elapsed.ms, now.bootMs);
        const QString label = stations::restoredLabel(back, row.puesto, row.openedUtc.toLocalTime(), wall.date());
        report.restored << label;
        times << elapsed;
        station[at(index)] = back.station;
        {
            // The options show the mode without running the choice of a mode again.
            const QSignalBlocker blockPrepago(optModo[2 * at(index)]);
            const QSignalBlocker blockContador(optModo[2 * at(index) + 1]);
            optModo[2 * at(index) + (row.mode == StationMode::Contador ? 1 : 0)]->setChecked(true);
            const QSignalBlocker blockBlocks(vsTiempo[at(index)]);
            vsTiempo[at(index)]->setValue(back.station.blocks);
        }
        lockStation(index);
        showStation(index);
        // From now on its time counts on this boot's clock.
        restoredWrites << statements::puestoAbiertoReloj(row.puesto, row.apertura, now.boot, back.station.openedAtMs,
                                                         elapsed.ms / 1000, seen);
        restoredNotes << JournalNote{journal::event::kStationRestored, row.puesto, label};
        if (back.ended) {
            ended << index;
        }
    }
    report.setAside = journalBestEffort(asideWrites + restoredWrites, asideNotes + restoredNotes);
    report.downtime = stations::downtimeText(times);
    report.cannotWrite = database->whyNotWritable();
    if (const QString message = stations::restoreMessage(report); !message.isEmpty()) {
        afterSignIn([this, message] { platform().messages.postMessage(this, message, {}); });
    }
    for (int index : std::as_const(ended)) {
        markEnded(index);
        afterSignIn([this, index] { announceEnd(index); });
    }
}
