#include "shifts/ShiftService.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "platform/Clock.h"
#include "rate/RateInput.h"
#include "shifts/ShiftRecords.h"
#include "stations/StationMath.h"

#include <QStringList>
#include <utility>

namespace shifts {

namespace {

// Amounts in messages: the locale's way.
QString money(qint64 cents) {
    return numtext::amountText(cents);
}

// Amounts in the journal: the same text whatever the machine's locale, as every entry writes them.
QString journalAmount(qint64 cents) {
    return numtext::engineNumber(stations::pesosOf(cents));
}

// An amount as the REAL columns keep it.
QString engine(qint64 cents) {
    return numtext::engineNumber(stations::pesosOf(cents));
}

QString q(const QString &text) {
    return QLatin1Char('\'') + statements::quoted(text) + QLatin1Char('\'');
}

qint64 lastRentalRow(data::Database &db) {
    qint64 last = 0;
    db.forEachRawRow(QStringLiteral("SELECT MAX(rowid) FROM Alquiler"), [&last](const data::Database::RowView &row) {
        last = row.isNull(0) ? 0 : row.integer(0);
        return false;
    });
    return last;
}

QString countDetail(qint64 numero, int countNumber, const Count &count, qint64 expected) {
    QStringList lines;
    for (const CountLine &line : count) {
        lines << QStringLiteral("%1 x %2").arg(journalAmount(line.denominationCents)).arg(line.pieces);
    }
    const qint64 counted = countTotal(count);
    return QStringLiteral("Turno %1, arqueo %2: %3; contado %4; esperado %5; diferencia %6")
        .arg(numero)
        .arg(countNumber)
        .arg(lines.join(QStringLiteral("; ")), journalAmount(counted), journalAmount(expected),
             journalAmount(counted - expected));
}

QString totalsDetail(const ShiftRecord &s) {
    return QStringLiteral("Turno %1 de %2; fondo %3; ventas %4; ingresos %5; retiros %6; gastos %7; esperado %8")
        .arg(s.numero)
        .arg(s.usuario, journalAmount(s.totals.floatCents), journalAmount(s.totals.salesCents),
             journalAmount(s.totals.ingresosCents), journalAmount(s.totals.retirosCents),
             journalAmount(s.totals.gastosCents), journalAmount(s.expectedCents));
}

// The journal's last entry: the one just appended inside the transaction.
void lastEntry(data::Database &db, Closing &closing) {
    const journal::Summary last = journal::summary(db);
    closing.journalSecuencia = last.entries;
    closing.journalHash = last.lastHash;
}

AmountCheck checkAmount(const QString &typed, bool zeroAllowed, const QString &what) {
    const std::optional<double> pesos = rate::readPesos(typed.trimmed());
    if (!pesos) {
        return {0, QStringLiteral("%1 («%2») no es válido. ").arg(what, typed) + rate::acceptedForms()};
    }
    if (*pesos > stations::pesosOf(kMaxCashCents)) {
        return {0, QStringLiteral("%1 ($ %2) es demasiado grande: a lo sumo $ %3.")
                       .arg(what, typed.trimmed(), money(kMaxCashCents))};
    }
    const qint64 cents = stations::centsOf(*pesos);
    if (cents < 0 || (cents == 0 && !zeroAllowed)) {
        return {0, QStringLiteral("%1 debe ser mayor que cero.").arg(what)};
    }
    return {cents, {}};
}

} // namespace

AmountCheck checkFloat(const QString &typed) {
    return checkAmount(typed, true, QStringLiteral("El fondo de caja"));
}

AmountCheck checkMovementAmount(const QString &typed) {
    return checkAmount(typed, false, QStringLiteral("El importe"));
}

PiecesCheck checkPieces(const QString &typed, qint64 denominationCents) {
    const QString text = typed.trimmed();
    if (text.isEmpty()) {
        return {0, {}};
    }
    bool digitsOnly = true;
    for (const QChar c : text) {
        digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
    }
    const QString which = QStringLiteral("$ ") + money(denominationCents);
    if (!digitsOnly) {
        return {0, QStringLiteral("La cantidad de %1 («%2») no es válida: escriba cuántos hay, un número entero "
                                  "de 0 en adelante.")
                       .arg(which, typed)};
    }
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n > kMaxPieces) {
        return {0, QStringLiteral("La cantidad de %1 («%2») es demasiado grande: a lo sumo %3.")
                       .arg(which, typed)
                       .arg(kMaxPieces)};
    }
    return {n, {}};
}

ShiftService::ShiftService(const sys::Clock &clock, std::function<data::Database *()> store, QObject *parent)
    : QObject(parent), clock_(clock), store_(std::move(store)) {}

data::Database *ShiftService::handle() const {
    data::Database *db = store_ ? store_() : nullptr;
    if (!db) {
        throw data::DbError(QStringLiteral("La base de datos no está abierta."), QString());
    }
    return db;
}

ShiftService::Current ShiftService::current() const {
    try {
        return {openShift(*handle()), {}};
    } catch (const data::DbError &error) {
        return {std::nullopt, QStringLiteral("No se pudo leer el turno abierto.\n") + error.describe()};
    }
}

qint64 ShiftService::suggestedFloat() const {
    try {
        return lastDrawerCents(*handle()).value_or(0);
    } catch (const data::DbError &) {
        return 0; // only a suggestion: the operator types the float anyway
    }
}

QVector<qint64> ShiftService::denominations() const {
    try {
        const data::Recordset kept = handle()->openRecordset(statements::salonLookup(kDenominationsKey));
        if (!kept.isEof()) {
            if (const auto list = denominationsFromText(kept.field(QStringLiteral("Valor")).toString())) {
                return *list;
            }
        }
    } catch (const data::DbError &) {
        // The delivered list: a count must be possible even on a file that cannot be read.
    }
    return defaultDenominations();
}

ShiftService::Result ShiftService::setDenominations(const QVector<qint64> &cents, const QString &administrator) {
    const QString text = denominationsText(cents);
    if (!denominationsFromText(text)) {
        return {false, QStringLiteral("La lista de billetes y monedas no es válida: importes mayores que cero, "
                                      "sin repetir.")};
    }
    try {
        data::Database &db = *handle();
        const QString before = denominationsText(denominations());
        data::runInTransaction(db, [&] {
            for (const QString &sql : statements::salonSet(kDenominationsKey, text)) {
                db.execute(sql);
            }
            journal::append(db, clock_.wallTime(), administrator, journal::event::kRoomSetting, 0,
                            QStringLiteral("%1: antes %2; ahora %3").arg(kDenominationsKey, before, text));
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo guardar la lista de billetes y monedas.\n") + error.describe()};
    }
    return {true, {}};
}

ShiftService::Result ShiftService::open(const QString &user, qint64 floatCents) {
    if (floatCents < 0 || floatCents > kMaxCashCents) {
        return {false, QStringLiteral("El fondo de caja no es válido.")};
    }
    ShiftRecord opened;
    try {
        data::Database &db = *handle();
        data::runInTransaction(db, [&] {
            if (const std::optional<ShiftRecord> other = openShift(db)) {
                throw data::DbError(
                    QStringLiteral("Ya hay un turno abierto (el %1, de %2).").arg(other->numero).arg(other->usuario),
                    QString());
            }
            const QDateTime now = clock_.wallTime();
            opened.usuario = user;
            opened.apertura = now;
            opened.firstRow = lastRentalRow(db);
            opened.estado = kOpen;
            opened.totals.floatCents = floatCents;
            opened.expectedCents = floatCents;
            db.execute(QStringLiteral("INSERT INTO Turnos (Usuario, Apertura, Fondo, PrimeraFila, Estado) VALUES (") +
                       q(user) + u',' + q(shiftTimeText(now)) + u',' + engine(floatCents) + u',' +
                       QString::number(opened.firstRow) + u',' + q(kOpen) + u')');
            db.forEachRawRow(QStringLiteral("SELECT MAX(Numero) FROM Turnos"), [&opened](const auto &row) {
                opened.numero = row.integer(0);
                return false;
            });
            journal::append(db, now, user, journal::event::kShiftOpened, 0,
                            QStringLiteral("Turno %1; fondo %2").arg(opened.numero).arg(journalAmount(floatCents)));
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo abrir el turno.\n") + error.describe()};
    }
    Q_EMIT shiftOpened(opened);
    return {true, {}};
}

ShiftService::Result ShiftService::addMovement(MovementKind kind, qint64 cents, const QString &reason,
                                               const QString &user) {
    if (cents <= 0 || cents > kMaxCashCents) {
        return {false, QStringLiteral("El importe no es válido.")};
    }
    if (kind == MovementKind::Gasto && reason.trimmed().isEmpty()) {
        return {false, QStringLiteral("Escriba en qué se gastó: un gasto sin motivo no se registra.")};
    }
    try {
        data::Database &db = *handle();
        data::runInTransaction(db, [&] {
            const std::optional<ShiftRecord> shift = openShift(db);
            if (!shift) {
                throw data::DbError(QStringLiteral("No hay ningún turno abierto."), QString());
            }
            const QDateTime now = clock_.wallTime();
            db.execute(
                QStringLiteral("INSERT INTO MovimientosCaja (Turno, Fecha, Hora, Tipo, Importe, Motivo, Usuario) "
                               "VALUES (") +
                QString::number(shift->numero) + u',' + q(now.date().toString(Qt::ISODate)) + u',' +
                q(now.time().toString(QStringLiteral("HH:mm:ss"))) + u',' + q(movementText(kind)) + u',' +
                engine(cents) + u',' + q(reason.trimmed()) + u',' + q(user) + u')');
            journal::append(db, now, user, journal::event::kCashMovement, 0,
                            QStringLiteral("Turno %1; %2 %3; motivo: %4")
                                .arg(shift->numero)
                                .arg(movementText(kind), journalAmount(cents), reason.trimmed()));
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo registrar el movimiento de caja.\n") + error.describe()};
    }
    Q_EMIT cashMoved();
    return {true, {}};
}

ShiftService::CloseResult ShiftService::close(const Count &count, const QString &user) {
    return finish(count, user, QStringLiteral("No se pudo cerrar el turno; sigue abierto.\n"));
}

ShiftService::CloseResult ShiftService::closeUncounted(const QString &administrator) {
    return finish(std::nullopt, administrator, QStringLiteral("No se pudo cerrar el turno; sigue abierto.\n"));
}

ShiftService::CloseResult ShiftService::finish(const std::optional<Count> &count, const QString &user,
                                               const QString &failure) {
    if (count && !countFromText(countText(*count))) {
        return {false, QStringLiteral("El arqueo no es válido."), {}};
    }
    Closing closing;
    try {
        data::Database &db = *handle();
        data::runInTransaction(db, [&] {
            std::optional<ShiftRecord> open = openShift(db);
            if (!open) {
                throw data::DbError(QStringLiteral("No hay ningún turno abierto."), QString());
            }
            ShiftRecord &s = *open;
            const QDateTime now = clock_.wallTime();
            s.lastRow = lastRentalRow(db);
            s.totals = totalsOf(db, s);
            s.expectedCents = expectedCents(s.totals);
            s.cierre = now;
            s.estado = count ? kClosed : kUncounted;
            if (count) {
                s.countedCents = countTotal(*count);
                s.differenceCents = *s.countedCents - s.expectedCents;
            }
            db.execute(QStringLiteral("UPDATE Turnos SET UltimaFila = %1, Cierre = %2, Estado = %3, Ventas = %4, "
                                      "Ingresos = %5, Retiros = %6, Gastos = %7, Esperado = %8, Contado = %9, ")
                           .arg(*s.lastRow)
                           .arg(q(shiftTimeText(now)), q(s.estado), engine(s.totals.salesCents),
                                engine(s.totals.ingresosCents), engine(s.totals.retirosCents),
                                engine(s.totals.gastosCents), engine(s.expectedCents),
                                count ? engine(*s.countedCents) : QStringLiteral("NULL")) +
                       QStringLiteral("Diferencia = %1 WHERE Numero = %2 AND Estado = %3")
                           .arg(count ? engine(*s.differenceCents) : QStringLiteral("NULL"))
                           .arg(s.numero)
                           .arg(q(kOpen)));
            if (count) {
                db.execute(
                    QStringLiteral("INSERT INTO Arqueos (Turno, Numero, Fecha, Hora, Usuario, Billetes, Contado, "
                                   "Esperado, Diferencia) VALUES (%1, 1, %2, %3, %4, %5, %6, %7, %8)")
                        .arg(s.numero)
                        .arg(q(now.date().toString(Qt::ISODate)), q(now.time().toString(QStringLiteral("HH:mm:ss"))),
                             q(user), q(countText(*count)), engine(*s.countedCents), engine(s.expectedCents),
                             engine(*s.differenceCents)));
                journal::append(db, now, user, journal::event::kCashCounted, 0,
                                countDetail(s.numero, 1, *count, s.expectedCents));
                journal::append(db, now, user, journal::event::kShiftClosed, 0,
                                totalsDetail(s) +
                                    QStringLiteral("; contado %1; diferencia %2")
                                        .arg(journalAmount(*s.countedCents), journalAmount(*s.differenceCents)));
                closing.count = *count;
                closing.countNumber = 1;
            } else {
                journal::append(db, now, user, journal::event::kShiftUncounted, 0,
                                totalsDetail(s) + QStringLiteral("; cerrado sin arqueo por %1").arg(user));
            }
            lastEntry(db, closing);
            closing.shift = s;
        });
    } catch (const data::DbError &error) {
        return {false, failure + error.describe(), {}};
    }
    Q_EMIT shiftClosed(closing);
    return {true, {}, closing};
}

ShiftService::CloseResult ShiftService::recount(qint64 numero, const Count &count, const QString &user) {
    if (!countFromText(countText(count))) {
        return {false, QStringLiteral("El arqueo no es válido."), {}};
    }
    Closing closing;
    try {
        data::Database &db = *handle();
        data::runInTransaction(db, [&] {
            std::optional<ShiftRecord> shift = shiftNumbered(db, numero);
            if (!shift || shift->estado != kClosed) {
                throw data::DbError(QStringLiteral("El turno %1 no está cerrado con arqueo.").arg(numero), QString());
            }
            int next = 1;
            db.forEachRawRow(QStringLiteral("SELECT MAX(Numero) FROM Arqueos WHERE Turno = ") + QString::number(numero),
                             [&next](const auto &row) {
                                 next = row.isNull(0) ? 1 : int(row.integer(0)) + 1;
                                 return false;
                             });
            ShiftRecord &s = *shift;
            const QDateTime now = clock_.wallTime();
            s.countedCents = countTotal(count);
            s.differenceCents = *s.countedCents - s.expectedCents;
            db.execute(QStringLiteral("INSERT INTO Arqueos (Turno, Numero, Fecha, Hora, Usuario, Billetes, Contado, "
                                      "Esperado, Diferencia) VALUES (%1, %2, %3, %4, %5, %6, %7, %8, %9)")
                           .arg(numero)
                           .arg(next)
                           .arg(q(now.date().toString(Qt::ISODate)), q(now.time().toString(QStringLiteral("HH:mm:ss"))),
                                q(user), q(countText(count)), engine(*s.countedCents), engine(s.expectedCents),
                                engine(*s.differenceCents)));
            db.execute(QStringLiteral("UPDATE Turnos SET Contado = %1, Diferencia = %2 WHERE Numero = %3")
                           .arg(engine(*s.countedCents), engine(*s.differenceCents))
                           .arg(numero));
            journal::append(db, now, user, journal::event::kCashCounted, 0,
                            countDetail(numero, next, count, s.expectedCents));
            lastEntry(db, closing);
            closing.shift = s;
            closing.count = count;
            closing.countNumber = next;
        });
    } catch (const data::DbError &error) {
        return {false,
                QStringLiteral("No se pudo guardar el recuento; el arqueo anterior sigue valiendo.\n") +
                    error.describe(),
                {}};
    }
    Q_EMIT shiftClosed(closing);
    return {true, {}, closing};
}

ShiftService::Result ShiftService::setNote(qint64 numero, const QString &note, const QString &administrator) {
    const QString text = note.trimmed();
    if (text.isEmpty()) {
        return {false, QStringLiteral("Escriba la nota.")};
    }
    try {
        data::Database &db = *handle();
        data::runInTransaction(db, [&] {
            const std::optional<ShiftRecord> shift = shiftNumbered(db, numero);
            if (!shift || shift->estado == kOpen) {
                throw data::DbError(QStringLiteral("El turno %1 no está cerrado.").arg(numero), QString());
            }
            db.execute(QStringLiteral("UPDATE Turnos SET Nota = ") + q(text) + QStringLiteral(" WHERE Numero = ") +
                       QString::number(numero));
            journal::append(db, clock_.wallTime(), administrator, journal::event::kShiftNote, 0,
                            QStringLiteral("Turno %1: %2").arg(numero).arg(text));
        });
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo guardar la nota.\n") + error.describe()};
    }
    return {true, {}};
}

} // namespace shifts
