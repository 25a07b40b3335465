#include "stations/StationBoard.h"

#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/JournalBooks.h"
#include "data/NumberText.h"
#include "data/RentalKinds.h"
#include "data/Statements.h"
#include "platform/Clock.h"
#include "stations/OpenStations.h"
#include "stations/StationModel.h"

#include <algorithm>
#include <cmath>

namespace stations {

namespace {

size_t at(int index) {
    return static_cast<size_t>(index);
}

QString modeName(bool contador) {
    return contador ? QStringLiteral("Contador") : QStringLiteral("Prepago");
}

// An amount as the engine reads it, in the form the records have always had.
QString engineAmount(qint64 cents) {
    return numtext::engineNumber(pesosOf(cents));
}

// The room's setting: "no" closes a station at once, as the button alone always did.
const QString kCheckoutKey = QStringLiteral("Cobro al cerrar");

QString clockText(const Station &s) {
    return stations::clockText(s.hours, s.minutes, s.seconds);
}

// Who approved a correction and why, as its journal entry ends before the opening.
QString approvalText(const Approval &approval) {
    return QStringLiteral("; Autorizó=%1; Motivo=%2").arg(approval.administrator, approval.reason);
}

// The breakdown a Contador close under other than plain terms ends its entry with.
QString breakdown(const Station &s, const Checkout &quote) {
    if (!s.terms || plainTerms(*s.terms, s.controllers)) {
        return {};
    }
    const qint64 elapsed = quote.hours * 3600 + quote.minutes * 60 + quote.seconds;
    const QDateTime opened = QDateTime::fromString(s.openedUtc, Qt::ISODate).toLocalTime();
    return QStringLiteral("; Desglose=") +
           pricing::breakdownText(*s.terms, pricing::contadorPrice(*s.terms, opened, elapsed, s.controllers));
}

} // namespace

StationBoard::StationBoard(const sys::Clock &clock, const accounts::Session &session, QObject *parent)
    : QObject(parent), clock_(clock), session_(session) {
    setRoom(defaultRoom());
}

void StationBoard::setRoom(std::vector<StationSetup> room) {
    setups_ = std::move(room);
    stations_.assign(setups_.size(), Station{});
    expiring_.assign(setups_.size(), 0);
    endedRows_.assign(setups_.size(), QString());
    Q_EMIT roomChanged();
}

StationBoard::~StationBoard() = default;

int StationBoard::indexOf(int number) const {
    for (int index = 0; index < count(); ++index) {
        if (setups_[at(index)].number == number) {
            return index;
        }
    }
    return -1;
}

QString StationBoard::stationLabel(int index) const {
    const StationSetup &s = setup(index);
    const QString plain = QStringLiteral("Puesto %1").arg(s.number);
    return s.name == plain ? plain : QStringLiteral("puesto ") + s.name;
}

pricing::Terms StationBoard::termsFor(int index) const {
    pricing::Terms terms = setup(index).terms;
    if (setup(index).typeIndex == 0) {
        terms.minutes = rate_.Minutos;
        terms.cents = rate_.cents;
        // Tarifa may have been given a block shorter than the type's tolerance since.
        terms.toleranceMinutes = std::min(terms.toleranceMinutes, std::max(0, terms.minutes - 1));
    }
    return terms;
}

Rate StationBoard::rateFor(int index) const {
    if (setup(index).typeIndex == 0) {
        return rate_;
    }
    const pricing::Terms &terms = setup(index).terms;
    return Rate{static_cast<qint16>(terms.minutes), terms.cents};
}

void StationBoard::priceChoice(int index) {
    Station &s = stations_[at(index)];
    if (s.running || s.mode != StationMode::Prepago) {
        return;
    }
    const pricing::Terms terms = termsFor(index);
    if (!plainTerms(terms, s.controllers)) {
        s.cents = pricing::prepagoPrice(terms, clock_.wallTime(), s.blocks, s.controllers).cents;
    }
}

int StationBoard::addStation(int number, const QString &type, const pricing::Terms &terms) {
    setups_.push_back(StationSetup{number, QStringLiteral("Puesto %1").arg(number), type, -1, terms});
    stations_.emplace_back();
    expiring_.push_back(0);
    endedRows_.emplace_back();
    return count() - 1;
}

StationBoard::LoadResult StationBoard::load(const QString &path) {
    const auto refuse = [this](const QString &problem) {
        store_.reset();
        return LoadResult{Loaded::Refused, problem};
    };
    try {
        store_ = data::Database::open(path);
        if (const QString problem = readRate(); !problem.isEmpty()) {
            return refuse(problem);
        }
    } catch (const data::DbError &error) {
        store_.reset();
        return {Loaded::Unreadable, error.describe()};
    }
    for (Station &s : stations_) {
        s.mode = StationMode::Contador;
    }
    confirmsCheckout_ = true;
    try {
        const data::Recordset setting = store_->openRecordset(statements::salonLookup(kCheckoutKey));
        confirmsCheckout_ = setting.isEof() || setting.field(QStringLiteral("Valor")).toString() != QLatin1String("no");
    } catch (const data::DbError &) {
        // A file this version has not written to yet has no settings: the checkout stays on.
    }
    return {};
}

bool StationBoard::setConfirmsCheckout(bool on, const QString &administrator) {
    if (on == confirmsCheckout_) {
        return true;
    }
    if (!persist(-1, statements::salonSet(kCheckoutKey, on ? QStringLiteral("sí") : QStringLiteral("no")),
                 {{journal::event::kRoomSetting, 0,
                   QStringLiteral("%1=%2; Autorizó=%3")
                       .arg(kCheckoutKey, on ? QStringLiteral("sí") : QStringLiteral("no"), administrator)}},
                 QStringLiteral("No se pudo guardar el ajuste del salón"))) {
        return false;
    }
    confirmsCheckout_ = on;
    return true;
}

QString StationBoard::readRate() {
    if (!store_) {
        throw data::DbError(QStringLiteral("La base de datos está cerrada"));
    }
    sqlText_ = statements::tarifaSelect();
    const data::Recordset tarifa = store_->openRecordset(sqlText_);
    if (tarifa.isEof()) {
        return QStringLiteral("La tabla Tarifa de %1 no tiene ninguna tarifa.").arg(store_->path());
    }
    const QVariant minutosField = tarifa.field(QStringLiteral("Minutos"));
    const QVariant pesosField = tarifa.field(QStringLiteral("Pesos"));
    bool minutesOk = false;
    bool pesosOk = false;
    const qlonglong minutes = minutosField.toLongLong(&minutesOk);
    const double pesos = pesosField.toDouble(&pesosOk);
    if (!minutesOk || minutes < 0 || minutes > kMaxRateMinutes) {
        return QStringLiteral("La tarifa guardada (%1 minutos) no es válida: los minutos deben ser un número "
                              "entero de 0 a %2.")
            .arg(minutosField.toString())
            .arg(kMaxRateMinutes);
    }
    if (!pesosOk || !(pesos >= 0.0)) {
        return QStringLiteral("La tarifa guardada (%1 pesos) no es válida: el importe debe ser un número "
                              "de 0 o más.")
            .arg(pesosField.toString());
    }
    // Past what the rate editor takes no amount can be kept to the cent.
    if (!std::isfinite(pesos) || pesos >= kMaxRatePesos) {
        return QStringLiteral("La tarifa guardada (%1 pesos) no es válida: el importe debe ser menor que "
                              "1000000000.")
            .arg(pesosField.toString());
    }
    rate_.Minutos = static_cast<qint16>(minutes);
    rate_.cents = centsOf(pesos);
    return {};
}

// Choices -----------------------------------------------------------------------------------

bool StationBoard::chooseMode(int index, StationMode mode) {
    if (!isStation(index) || stations_[at(index)].running) {
        return false;
    }
    Station &s = stations_[at(index)];
    if (mode == StationMode::Prepago) {
        choosePrepago(s, rateFor(index));
        priceChoice(index);
    } else {
        chooseContador(s);
    }
    Q_EMIT stationChanged(index);
    return true;
}

bool StationBoard::setBlocks(int index, int blocks) {
    if (!isStation(index) || stations_[at(index)].running || blocks < 1 || blocks > kMaxBlocks) {
        return false;
    }
    stations::setBlocks(stations_[at(index)], blocks, rateFor(index));
    priceChoice(index);
    Q_EMIT stationChanged(index);
    return true;
}

bool StationBoard::setControllers(int index, int n) {
    if (!isStation(index) || stations_[at(index)].running || expiring_[at(index)] || n < 1 ||
        n > pricing::kMaxControllers) {
        return false;
    }
    Station &s = stations_[at(index)];
    s.controllers = n;
    if (s.mode == StationMode::Prepago) {
        stations::setBlocks(s, s.blocks, rateFor(index));
        priceChoice(index);
    }
    Q_EMIT stationChanged(index);
    return true;
}

// Opening and closing -----------------------------------------------------------------------

bool StationBoard::open(int index, StationMode mode, int blocks) {
    if (!isStation(index) || expiring_[at(index)] || stations_[at(index)].running || blocks < 1 ||
        blocks > kMaxBlocks) {
        return false;
    }
    const bool contador = mode == StationMode::Contador;
    const pricing::Terms terms = termsFor(index);
    const Rate rate = rateFor(index);
    const QDateTime now = clock_.wallTime();
    // The station as it opens: the choice made at the terms in force, as it will be recorded. A
    // prepaid sale is never of fewer blocks than the minimum: the time bought is what is paid.
    Station opening = stations_[at(index)];
    if (contador) {
        chooseContador(opening);
    } else {
        blocks = std::max(blocks, terms.minimumBlocks);
        choosePrepago(opening, rate);
        stations::setBlocks(opening, blocks, rate);
        if (!plainTerms(terms, opening.controllers)) {
            opening.cents = pricing::prepagoPrice(terms, now, blocks, opening.controllers).cents;
        }
    }
    const int n = setup(index).number;
    const qint64 nowMs = clock_.monotonicMs();
    const QString opened = instantText(now);
    QStringList writes;
    QList<JournalNote> notes;
    if (!contador) {
        const Rental rental = rentalRecord(index, opening, false, now);
        writes << rental.sql;
        notes << JournalNote{journal::event::kRentalRecorded, n, rental.detail};
    }
    const QString end = contador ? QString() : instantText(prepaidEnd(now, rate, blocks));
    writes << statements::puestoAbiertoInsert(
        n, contador, session_.user(), opened, rate.Minutos, engineAmount(rate.cents), contador ? 0 : blocks, end,
        clock_.bootId(), nowMs,
        {setup(index).type, opening.controllers, termsText(terms), contador ? QString() : engineAmount(opening.cents)});
    notes << JournalNote{
        journal::event::kStationOpened, n,
        QStringLiteral("Modo=%1; %2Tarifa=%3 minutos por %4")
                .arg(modeName(contador), contador ? QString() : QStringLiteral("Bloques=%1; ").arg(blocks))
                .arg(rate.Minutos)
                .arg(engineAmount(rate.cents)) +
            journal::openingSuffix(opened)};
    if (!persist(index, writes, notes,
                 contador ? QStringLiteral("No se pudo abrir el %1")
                          : QStringLiteral("No se pudo registrar el alquiler del %1"))) {
        return false;
    }
    Station &s = stations_[at(index)];
    s = opening;
    s.terms = std::make_shared<const pricing::Terms>(terms);
    openStation(s, rate, nowMs, opened);
    Q_EMIT stationChanged(index);
    if (!contador) {
        announceSale(index, modeName(false), qint64(rate.Minutos) * 60 * blocks, blocks, opening.cents, now);
    }
    return true;
}

bool StationBoard::close(int index) {
    const std::optional<Checkout> quote = quoteClose(index);
    return quote && close(*quote);
}

std::optional<Checkout> StationBoard::quoteClose(int index) const {
    if (!isStation(index) || expiring_[at(index)] || !stations_[at(index)].running) {
        return std::nullopt;
    }
    // The time up to this very second, not only to the last tick.
    Station s = stations_[at(index)];
    catchUp(s, clock_.monotonicMs());
    const bool contador = s.mode == StationMode::Contador;
    return Checkout{index,
                    s.mode,
                    s.openedUtc,
                    s.hours,
                    s.minutes,
                    s.seconds,
                    contador ? s.blocksCharged : s.blocks,
                    contador ? s.cents - s.discountCents : s.cents,
                    contador ? s.discountCents : 0,
                    clock_.wallTime()};
}

bool StationBoard::close(const Checkout &quote) {
    const int index = quote.index;
    if (!isStation(index) || expiring_[at(index)] || !stations_[at(index)].running ||
        stations_[at(index)].openedUtc != quote.openedUtc || stations_[at(index)].mode != quote.mode) {
        return false;
    }
    Station &s = stations_[at(index)];
    const int n = setup(index).number;
    if (s.mode == StationMode::Contador) {
        Station recorded = s;
        recorded.hours = quote.hours;
        recorded.minutes = quote.minutes;
        recorded.seconds = quote.seconds;
        recorded.cents = quote.cents;
        const Rental rental = rentalRecord(index, recorded, true, quote.at);
        const QString closed =
            QStringLiteral("Modo=Contador; Tiempo=%1; Importe=%2").arg(clockText(recorded), engineAmount(quote.cents)) +
            (quote.discountCents > 0 ? QStringLiteral("; Descuento=") + engineAmount(quote.discountCents) : QString()) +
            journal::openingSuffix(s.openedUtc) + breakdown(s, quote);
        if (!persist(index, {rental.sql, statements::puestoAbiertoDelete(n, s.openedUtc)},
                     {{journal::event::kRentalRecorded, n, rental.detail}, {journal::event::kStationClosed, n, closed}},
                     QStringLiteral("No se pudo registrar el alquiler del %1"))) {
            return false;
        }
    } else if (!persist(
                   index, {statements::puestoAbiertoDelete(n, s.openedUtc)},
                   {{journal::event::kStationClosed, n,
                     QStringLiteral("Modo=Prepago; cerrado antes de terminar") + journal::openingSuffix(s.openedUtc)}},
                   QStringLiteral("No se pudo cerrar el %1"))) {
        // Paid in advance: closing early records nothing more.
        return false;
    }
    const bool sold = s.mode == StationMode::Contador;
    closeStation(s);
    Q_EMIT stationChanged(index);
    if (sold) {
        announceSale(index, modeName(true), quote.hours * 3600 + quote.minutes * 60 + quote.seconds, quote.blocks,
                     quote.cents, quote.at);
    }
    return true;
}

void StationBoard::announceSale(int index, const QString &kind, qint64 seconds, qint64 blocks, qint64 cents,
                                const QDateTime &at) {
    Q_EMIT saleRecorded(
        Sale{setup(index).number, setup(index).name, kind, seconds, blocks, cents, session_.user(), at});
}

bool StationBoard::pause(int index) {
    return setPaused({index}, true);
}

bool StationBoard::resume(int index) {
    return setPaused({index}, false);
}

bool StationBoard::pauseAll() {
    QList<int> all;
    for (int index = 0; index < count(); ++index) {
        if (stations_[at(index)].running && !expiring_[at(index)] && !stations_[at(index)].paused()) {
            all << index;
        }
    }
    return !all.isEmpty() && setPaused(all, true);
}

bool StationBoard::resumeAll() {
    QList<int> all;
    for (int index = 0; index < count(); ++index) {
        if (stations_[at(index)].running && !expiring_[at(index)] && stations_[at(index)].paused()) {
            all << index;
        }
    }
    return !all.isEmpty() && setPaused(all, false);
}

bool StationBoard::setPaused(const QList<int> &indexes, bool pause) {
    const qint64 now = clock_.monotonicMs();
    QStringList writes;
    QList<JournalNote> notes;
    QList<Station> after;
    for (const int index : indexes) {
        if (!isStation(index) || expiring_[at(index)] || !stations_[at(index)].running ||
            stations_[at(index)].paused() == pause) {
            return false;
        }
        Station next = stations_[at(index)];
        catchUp(next, now); // the time up to this second
        if (pause) {
            next.pausedAtMs = now;
        } else {
            next.pausedMs += now - next.pausedAtMs;
            next.pausedAtMs = -1;
        }
        const qint64 ranMs = now - next.pausedMs - next.openedAtMs;
        const int n = setup(index).number;
        writes << statements::puestoAbiertoPausa(n, next.openedUtc, next.pausedMs, pause ? ranMs : -1);
        notes << JournalNote{
            pause ? journal::event::kStationPaused : journal::event::kStationResumed, n,
            QStringLiteral("Modo=%1; %2=%3")
                    .arg(modeName(next.mode == StationMode::Contador),
                         next.mode == StationMode::Contador ? QStringLiteral("Tiempo") : QStringLiteral("Quedan"),
                         clockText(next)) +
                journal::openingSuffix(next.openedUtc)};
        after << next;
    }
    if (!persist(indexes.first(), writes, notes,
                 pause ? QStringLiteral("No se pudo pausar el %1") : QStringLiteral("No se pudo reanudar el %1"))) {
        return false;
    }
    for (qsizetype k = 0; k < indexes.size(); ++k) {
        stations_[at(indexes[k])] = after[k];
        Q_EMIT stationChanged(indexes[k]);
    }
    return true;
}

// The counter's corrections ------------------------------------------------------------------

QString StationBoard::notRunning(const Target &target) const {
    if (!isStation(target.index)) {
        return QStringLiteral("No hay tal puesto.");
    }
    const Station &s = stations_[at(target.index)];
    if (!s.running || s.openedUtc != target.openedUtc) {
        return QStringLiteral("El %1 ya no estaba en curso: no se cambió nada.").arg(stationLabel(target.index));
    }
    if (expiring_[at(target.index)]) {
        return QStringLiteral("El tiempo del %1 ya terminó: no se cambió nada.").arg(stationLabel(target.index));
    }
    return {};
}

Change StationBoard::addBlocks(const Target &target, int blocks) {
    return extendPrepaid(target, blocks, 0, nullptr);
}

Change StationBoard::giveCourtesy(const Target &target, int minutes, const Approval &approval) {
    return extendPrepaid(target, 0, minutes, &approval);
}

Change StationBoard::extendPrepaid(const Target &target, int blocks, int minutes, const Approval *approval) {
    if (QString why = notRunning(target); !why.isEmpty()) {
        return {false, why};
    }
    const int index = target.index;
    const int n = setup(index).number;
    Station next = stations_[at(index)];
    if (next.mode != StationMode::Prepago) {
        return {false, blocks > 0 ? QStringLiteral("Solo se agregan bloques a un alquiler prepago.")
                                  : QStringLiteral("El tiempo de cortesía es para un alquiler prepago; a uno por "
                                                   "Contador se le hace un descuento.")};
    }
    if (approval && approval->reason.trimmed().isEmpty()) {
        return {false, QStringLiteral("Escriba el motivo.")};
    }
    if (blocks > 0 && (blocks > kMaxBlocks || next.blocks + blocks > kMaxBoughtBlocks)) {
        return {false,
                QStringLiteral("Se pueden agregar de 1 a %1 bloques, hasta %2 en todo el alquiler (ya tiene %3).")
                    .arg(kMaxBlocks)
                    .arg(kMaxBoughtBlocks)
                    .arg(next.blocks)};
    }
    if (!approval && blocks < 1) {
        return {false, QStringLiteral("Se pueden agregar de 1 a %1 bloques.").arg(kMaxBlocks)};
    }
    if (approval && (minutes < 1 || minutes > kMaxCourtesyMinutes)) {
        return {false, QStringLiteral("El tiempo de cortesía es de 1 a %1 minutos.").arg(kMaxCourtesyMinutes)};
    }
    const qint64 now = clock_.monotonicMs();
    const QDateTime wall = clock_.wallTime();
    qint64 cents = blockAmount(next.rate.cents, blocks);
    if (next.terms && !plainTerms(*next.terms, next.controllers)) {
        const qint64 surcharge = qint64(next.controllers - 1) * next.terms->controllerCents;
        cents = blockAmount(pricing::priceAt(*next.terms, wall) + surcharge, blocks);
    }
    next.blocks += blocks;
    next.courtesyMinutes += minutes;
    next.cents += cents;
    if (!recountPrepaid(next, now)) {
        return {false, QStringLiteral("El tiempo del %1 ya terminó: no se cambió nada.").arg(stationLabel(index))};
    }
    const qint64 addedMinutes = blocks > 0 ? qint64(next.rate.Minutos) * blocks : minutes;
    const QDateTime end =
        prepaidEnd(*readInstant(next.openedUtc), next.rate, next.blocks).addSecs(next.courtesyMinutes * 60);
    QStringList writes{statements::puestoAbiertoPrepago(n, next.openedUtc, next.blocks, next.courtesyMinutes,
                                                        instantText(end), engineAmount(next.cents))};
    QList<JournalNote> notes;
    if (blocks > 0) {
        const Rental rental =
            rentalRecord(index, kinds::kPrepagoAgregado, 0, static_cast<double>(addedMinutes), cents, wall);
        writes << rental.sql;
        notes << JournalNote{journal::event::kRentalRecorded, n, rental.detail};
    }
    const auto [operation, recorded] = operationRecord(index, blocks > 0 ? kinds::kOpBloques : kinds::kOpCortesia,
                                                       approval ? approval->administrator : QString(), addedMinutes,
                                                       cents, approval ? approval->reason.trimmed() : QString(), wall);
    writes << operation;
    notes << recorded
          << JournalNote{
                 blocks > 0 ? journal::event::kBlocksAdded : journal::event::kCourtesy, n,
                 (blocks > 0 ? QStringLiteral("Agregados=%1; Bloques=%2; Importe=%3")
                                   .arg(blocks)
                                   .arg(next.blocks)
                                   .arg(engineAmount(cents))
                             : QStringLiteral("Minutos=%1; Cortesía=%2").arg(minutes).arg(next.courtesyMinutes)) +
                     QStringLiteral("; Quedan=") + clockText(next) +
                     (approval ? approvalText({approval->administrator, approval->reason.trimmed()}) : QString()) +
                     journal::openingSuffix(next.openedUtc)};
    if (!persist(index, writes, notes,
                 blocks > 0 ? QStringLiteral("No se pudieron agregar los bloques al %1")
                            : QStringLiteral("No se pudo dar el tiempo de cortesía al %1"))) {
        return {};
    }
    stations_[at(index)] = next;
    Q_EMIT stationChanged(index);
    if (blocks > 0) {
        announceSale(index, kinds::kPrepagoAgregado, addedMinutes * 60, blocks, cents, wall);
    }
    return {true, {}};
}

Change StationBoard::giveDiscount(const Target &target, qint64 cents, const Approval &approval) {
    if (QString why = notRunning(target); !why.isEmpty()) {
        return {false, why};
    }
    const int index = target.index;
    const int n = setup(index).number;
    Station next = stations_[at(index)];
    if (next.mode != StationMode::Contador) {
        return {false, QStringLiteral("El descuento es para un alquiler por Contador; a uno prepago se le da tiempo "
                                      "de cortesía.")};
    }
    if (approval.reason.trimmed().isEmpty()) {
        return {false, QStringLiteral("Escriba el motivo.")};
    }
    catchUp(next, clock_.monotonicMs());
    // A Contador's amount only grows: what is taken off now is never more than it will charge.
    const qint64 most = next.cents - next.discountCents;
    if (cents < 1 || cents > most) {
        return {false, QStringLiteral("El descuento debe ser de más de $ 0 y hasta $ %1, lo que lleva el %2.")
                           .arg(numtext::amountText(most), stationLabel(index))};
    }
    next.discountCents += cents;
    const QDateTime wall = clock_.wallTime();
    const QString reason = approval.reason.trimmed();
    const auto [operation, recorded] =
        operationRecord(index, kinds::kOpDescuento, approval.administrator, 0, cents, reason, wall);
    if (!persist(index,
                 {statements::puestoAbiertoDescuento(n, next.openedUtc, engineAmount(next.discountCents)), operation},
                 {recorded,
                  {journal::event::kDiscount, n,
                   QStringLiteral("Importe=%1; Descuento=%2; Tiempo=%3")
                           .arg(engineAmount(cents), engineAmount(next.discountCents), clockText(next)) +
                       approvalText({approval.administrator, reason}) + journal::openingSuffix(next.openedUtc)}},
                 QStringLiteral("No se pudo hacer el descuento al %1"))) {
        return {};
    }
    stations_[at(index)] = next;
    Q_EMIT stationChanged(index);
    return {true, {}};
}

Change StationBoard::cancel(const Target &target, const Approval &approval) {
    if (QString why = notRunning(target); !why.isEmpty()) {
        return {false, why};
    }
    if (approval.reason.trimmed().isEmpty()) {
        return {false, QStringLiteral("Escriba el motivo.")};
    }
    const int index = target.index;
    const int n = setup(index).number;
    Station &s = stations_[at(index)];
    Station seen = s;
    catchUp(seen, clock_.monotonicMs());
    const QDateTime wall = clock_.wallTime();
    const QString reason = approval.reason.trimmed();
    const bool contador = s.mode == StationMode::Contador;
    const qint64 ranMinutes = seen.secondsDone / 60;
    QStringList writes;
    QList<JournalNote> notes;
    qint64 cents = 0;
    if (contador) {
        // Nothing was charged yet: it ends without a record of its own.
        cents = seen.cents - seen.discountCents;
    } else {
        // Everything paid for it, the blocks added included, goes back in one reversing row.
        cents = s.cents;
        const Rental refund = rentalRecord(index, kinds::kAnulacion, 0,
                                           static_cast<double>(qint64(s.rate.Minutos) * s.blocks), -cents, wall);
        writes << refund.sql;
        notes << JournalNote{journal::event::kRentalRecorded, n, refund.detail};
    }
    const auto [operation, recorded] =
        operationRecord(index, kinds::kOpAnulacion, approval.administrator, ranMinutes, cents, reason, wall);
    writes << operation << statements::puestoAbiertoDelete(n, s.openedUtc);
    notes << recorded
          << JournalNote{journal::event::kRentalCancelled, n,
                         QStringLiteral("Modo=%1; Tiempo=%2; %3=%4")
                                 .arg(modeName(contador), clockText(seen),
                                      contador ? QStringLiteral("Sin cobrar") : QStringLiteral("Devuelto"),
                                      engineAmount(cents)) +
                             approvalText({approval.administrator, reason}) + journal::openingSuffix(s.openedUtc)};
    if (!persist(index, writes, notes, QStringLiteral("No se pudo anular el alquiler del %1"))) {
        return {};
    }
    closeStation(s);
    Q_EMIT stationChanged(index);
    return {true, {}};
}

Change StationBoard::move(const Target &target, int toIndex) {
    if (QString why = notRunning(target); !why.isEmpty()) {
        return {false, why};
    }
    const int from = target.index;
    if (!isStation(toIndex) || toIndex == from) {
        return {false,
                QStringLiteral("Elija otro puesto, libre, al que pasar el alquiler del %1.").arg(stationLabel(from))};
    }
    if (stations_[at(toIndex)].running || expiring_[at(toIndex)]) {
        return {false, QStringLiteral("El %1 está ocupado: el alquiler sigue en el %2.")
                           .arg(stationLabel(toIndex), stationLabel(from))};
    }
    Station &s = stations_[at(from)];
    Station moved = s;
    catchUp(moved, clock_.monotonicMs());
    if (!persist(
            toIndex, {statements::puestoAbiertoMover(setup(from).number, s.openedUtc, setup(toIndex).number)},
            {{journal::event::kStationMoved, setup(toIndex).number,
              QStringLiteral("Desde=Puesto %1; Hacia=Puesto %2; Modo=%3; %4=%5")
                      .arg(setup(from).number)
                      .arg(setup(toIndex).number)
                      .arg(modeName(moved.mode == StationMode::Contador),
                           moved.mode == StationMode::Contador ? QStringLiteral("Tiempo") : QStringLiteral("Quedan"),
                           clockText(moved)) +
                  journal::openingSuffix(s.openedUtc)}},
            QStringLiteral("No se pudo pasar el alquiler al %1"))) {
        return {};
    }
    stations_[at(toIndex)] = moved;
    closeStation(s);
    Q_EMIT stationChanged(from);
    Q_EMIT stationChanged(toIndex);
    return {true, {}};
}

StationBoard::Rental StationBoard::rentalRecord(int index, const Station &s, bool contador, const QDateTime &now) {
    return rentalRecord(index, modeName(contador), static_cast<double>(s.hours), static_cast<double>(s.minutes),
                        s.cents, now);
}

StationBoard::Rental StationBoard::rentalRecord(int index, const QString &modo, double hours, double minutes,
                                                qint64 cents, const QDateTime &now) {
    const RecordedTime tiempo = recordedTime(hours, minutes);
    // The date and time at which it is recorded: a rental closed after midnight belongs to the new day.
    const QString hora = now.time().toString(QStringLiteral("HH:mm:ss"));
    const QString importe = engineAmount(cents);
    const QString usuario = session_.user();
    sqlText_ = statements::alquilerInsert(setup(index).number, modo, usuario, now.date().day(),
                                          statements::monthAbbrev(now.date().month()), now.date().year(), hora,
                                          tiempo.hours, tiempo.minutes, importe);
    return {sqlText_,
            journal::rentalDetail(QString::number(setup(index).number), modo, usuario, now.date().toString(Qt::ISODate),
                                  hora, tiempo.hours, tiempo.minutes, importe)};
}

std::pair<QString, StationBoard::JournalNote> StationBoard::operationRecord(int index, const QString &tipo,
                                                                            const QString &autorizo, qint64 minutes,
                                                                            qint64 cents, const QString &motivo,
                                                                            const QDateTime &at) const {
    const QString fecha = at.date().toString(Qt::ISODate);
    const QString hora = at.time().toString(QStringLiteral("HH:mm:ss"));
    return {statements::operacionInsert(fecha, hora, setup(index).number, tipo, session_.user(), autorizo, minutes,
                                        engineAmount(cents), motivo),
            {journal::event::kOperationRecorded, setup(index).number,
             journal::operationDetail(fecha, hora, QString::number(setup(index).number), tipo, session_.user(),
                                      autorizo, QString::number(minutes), engineAmount(cents), motivo)}};
}

void StationBoard::appendNotes(const QList<JournalNote> &notes) {
    for (const JournalNote &note : notes) {
        journal::append(*store_, clock_.wallTime(), session_.user(), note.evento, note.puesto, note.detalle);
    }
}

bool StationBoard::persist(int index, const QStringList &writes, const QList<JournalNote> &notes,
                           const QString &failure) {
    try {
        if (!store_) {
            throw data::DbError(QStringLiteral("La base de datos no está abierta."), writes.value(0));
        }
        data::runInTransaction(*store_, [&] {
            for (const QString &sql : writes) {
                store_->execute(sql);
            }
            appendNotes(notes);
        });
        return true;
    } catch (const data::DbError &error) {
        // Nothing of the station has changed yet: it stays open, or idle, as it was.
        // index -1: a setting of the room, which stays as it was.
        Q_EMIT writeFailed(index, (index < 0 ? failure + QStringLiteral("; sigue como estaba.\n\n")
                                             : failure.arg(stationLabel(index)) +
                                                   QStringLiteral("; el puesto sigue como estaba.\n\n")) +
                                      error.describe());
        return false;
    }
}

bool StationBoard::writeBestEffort(const QStringList &writes, const QList<JournalNote> &notes) {
    if (!store_ || (writes.isEmpty() && notes.isEmpty())) {
        return store_ != nullptr;
    }
    try {
        data::runInTransaction(*store_, [&] {
            for (const QString &sql : writes) {
                store_->execute(sql);
            }
            appendNotes(notes);
        });
        return true;
    } catch (const data::DbError &) {
        return false; // nothing depended on it: a read-only file, a full disk
    }
}

void StationBoard::noteChangeOfUser() {
    writeBestEffort({}, {{journal::event::kChangeOfUser, 0, QString()}});
}

// The tick ----------------------------------------------------------------------------------

void StationBoard::tick() {
    const qint64 now = clock_.monotonicMs();
    // Count-ups first: a prepaid station that ends below becomes Contador only after them.
    for (const StationMode pass : {StationMode::Contador, StationMode::Prepago}) {
        for (int index = 0; index < count(); ++index) {
            Station &s = stations_[at(index)];
            if (!s.running || s.mode != pass || expiring_[at(index)]) {
                continue;
            }
            const CatchUp moved = catchUp(s, now);
            if (moved.steps > 0) {
                Q_EMIT stationChanged(index);
            }
            if (moved.ended) {
                markEnded(index);
                Q_EMIT prepaidEnded(index);
            }
        }
    }
    removeEndedRows();
}

void StationBoard::markEnded(int index) {
    // Until the operator acknowledges the end the station sits the ticks out; the others keep
    // counting.
    expiring_[at(index)] = true;
    endedRows_[at(index)] = stations_[at(index)].openedUtc;
    removeEndedRows();
}

void StationBoard::acknowledgeEnd(int index) {
    if (!isStation(index) || !expiring_[at(index)]) {
        return;
    }
    expiring_[at(index)] = false;
    Station &s = stations_[at(index)];
    s.running = false;
    s.blocks = std::min(s.blocks, kMaxBlocks); // as a close leaves it
    s.terms.reset();
    s.controllers = 1;
    chooseContador(s);
    Q_EMIT stationChanged(index);
}

void StationBoard::removeEndedRows() {
    // The row of a prepaid time that ended goes as soon as the file lets it, with its journal
    // entry; until then a restart would only end it once more.
    for (int index = 0; index < count(); ++index) {
        QString &row = endedRows_[at(index)];
        if (row.isEmpty() || !store_) {
            continue;
        }
        try {
            data::runInTransaction(*store_, [&] {
                store_->execute(statements::puestoAbiertoDelete(setup(index).number, row));
                journal::append(*store_, clock_.wallTime(), session_.user(), journal::event::kPrepaidEnded,
                                setup(index).number, QStringLiteral("Apertura=") + row);
            });
            row.clear();
        } catch (const data::DbError &) {
            // Tried again on the next tick.
        }
    }
}

QStringList StationBoard::openRowWrites() const {
    const qint64 now = clock_.monotonicMs();
    const QString boot = clock_.bootId();
    const QString seen = instantText(clock_.wallTime());
    QStringList writes;
    for (int index = 0; index < count(); ++index) {
        const Station &s = stations_[at(index)];
        if (s.running && !expiring_[at(index)]) {
            writes << statements::puestoAbiertoReloj(setup(index).number, s.openedUtc, boot, s.openedAtMs,
                                                     std::max<qint64>(0, now - s.openedAtMs) / 1000, seen);
        }
    }
    return writes;
}

void StationBoard::refreshOpenRows() {
    if (!store_) {
        return;
    }
    const QStringList writes = openRowWrites();
    if (writes.isEmpty()) {
        return;
    }
    try {
        data::runInTransaction(*store_, [&] {
            for (const QString &sql : writes) {
                store_->execute(sql);
            }
        });
    } catch (const data::DbError &) {
        // Nothing depends on it at once: the rows keep the last time seen until the next try.
    }
}

bool StationBoard::noteProgramEnd() {
    if (!endNoted_ && store_ && store_->isOpen()) {
        endNoted_ = writeBestEffort(openRowWrites(), {{journal::event::kProgramEnded, 0, QString()}});
        store_->checkpoint();
    }
    return endNoted_;
}

void StationBoard::shutDown() {
    if (store_ && store_->isOpen()) {
        if (!noteProgramEnd()) {
            refreshOpenRows();
        }
        store_->close();
    }
}

// Start-up: the stations that were open when the program last stopped ---------------------

void StationBoard::restore() {
    if (!store_) {
        return;
    }
    data::Recordset rows;
    try {
        rows = store_->openRecordset(statements::puestosAbiertosList());
    } catch (const data::DbError &error) {
        Q_EMIT restored(QStringLiteral("No se pudieron leer los puestos en curso.\n\n") + error.describe(), {});
        return;
    }
    const QDateTime wall = clock_.wallTime();
    const ClockReading now{wall.toUTC(), clock_.monotonicMs(), clock_.bootId()};
    const QString seen = instantText(wall);
    RestoreReport report;
    QList<Elapsed> times;
    QList<int> ended;
    // A row that cannot come back is moved aside, before any restored row is touched, so it
    // keeps every value as it was found.
    QStringList asideWrites;
    QStringList restoredWrites;
    QList<JournalNote> asideNotes;
    QList<JournalNote> restoredNotes;
    const auto setAside = [&](const RowCheck &check, const QString &why) {
        report.rejected << check.label + QStringLiteral(": ") + why;
        asideWrites << statements::puestoApartar(check.fila, why, seen)
                    << statements::puestoAbiertoDeleteFila(check.fila);
        asideNotes << JournalNote{journal::event::kStationSetAside, check.puesto,
                                  check.detail + QStringLiteral("; Motivo=") + why};
    };
    std::vector<RowCheck> checks;
    for (; !rows.isEof(); rows.moveNext()) {
        checks.push_back(checkOpenRow(rows));
    }
    // A rental on a station the room no longer has comes back on a station "Puesto N" added at
    // the end of the room until the next start, so nothing is lost; the window learns of the
    // room before any station.
    const int before = count();
    for (const RowCheck &check : checks) {
        if (check.row && indexOf(check.row->puesto) < 0) {
            addStation(check.row->puesto, check.row->consola, *check.row->terms);
        }
    }
    if (count() != before) {
        Q_EMIT roomChanged();
    }
    for (const RowCheck &check : checks) {
        if (!check.row) {
            setAside(check, check.problem);
            continue;
        }
        const OpenRow &row = *check.row;
        const int index = indexOf(row.puesto);
        if (stations_[at(index)].running) {
            setAside(check, QStringLiteral("el %1 ya tiene otro alquiler en curso").arg(stationLabel(index)));
            continue;
        }
        const Elapsed elapsed = elapsedAtStart(row, now);
        if (!elapsed.problem.isEmpty()) {
            setAside(check, elapsed.problem);
            continue;
        }
        const Restored back = restoreStation(row, elapsed.ms, now.bootMs);
        const QString label = restoredLabel(back, setup(index).name, row.openedUtc.toLocalTime(), wall.date());
        report.restored << label;
        times << elapsed;
        stations_[at(index)] = back.station;
        Q_EMIT stationChanged(index);
        // From now on its time counts on this boot's clock.
        restoredWrites << statements::puestoAbiertoReloj(row.puesto, row.apertura, now.boot, back.station.openedAtMs,
                                                         elapsed.ms / 1000, seen);
        restoredNotes << JournalNote{journal::event::kStationRestored, row.puesto, label};
        if (back.ended) {
            ended << index;
        }
    }
    report.setAside = writeBestEffort(asideWrites + restoredWrites, asideNotes + restoredNotes);
    report.downtime = downtimeText(times);
    report.cannotWrite = store_->whyNotWritable();
    for (int index : std::as_const(ended)) {
        markEnded(index);
    }
    Q_EMIT restored(restoreMessage(report), ended);
}

} // namespace stations
