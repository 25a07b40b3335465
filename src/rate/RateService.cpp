#include "rate/RateService.h"

#include "accounts/Session.h"
#include "data/Database.h"
#include "data/Journal.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "platform/Clock.h"

#include <utility>

namespace rate {

RateService::RateService(QString databasePath, const sys::Clock &clock, const accounts::Session &session,
                         QObject *parent)
    : QObject(parent), path_(std::move(databasePath)), clock_(clock), session_(session) {}

RateService::Current RateService::current() {
    try {
        auto database = data::Database::open(path_);
        sqlText_ = statements::tarifaEditorSelect();
        const data::Recordset tarifa = database->openRecordset(sqlText_);
        if (tarifa.isEof()) {
            return {{}, {}, QStringLiteral("La tabla Tarifa no tiene ninguna tarifa guardada.")};
        }
        return {tarifa.field(QStringLiteral("Minutos")), tarifa.field(QStringLiteral("Pesos")), {}};
    } catch (const data::DbError &error) {
        return {{}, {}, QStringLiteral("No se pudo leer la tarifa.\n") + error.describe()};
    }
}

RateService::Result RateService::store(const NewRate &rate) {
    // The statement carries the checked numbers in the engine's form, never the typed text.
    sqlText_ = statements::tarifaUpdate(QString::number(rate.minutes), numtext::engineNumber(rate.pesos));
    try {
        auto database = data::Database::open(path_);
        // The rate and its journal entry, old and new, together or not at all.
        data::runInTransaction(*database, [&] {
            const data::Recordset before = database->openRecordset(statements::tarifaEditorSelect());
            const QString old = before.isEof()
                                    ? QStringLiteral("ninguna")
                                    : QStringLiteral("%1 minutos por %2")
                                          .arg(before.field(QStringLiteral("Minutos")).toString(),
                                               numtext::engineNumber(before.field(QStringLiteral("Pesos")).toDouble()));
            database->execute(sqlText_);
            journal::append(*database, clock_.wallTime(), session_.user(), journal::event::kRateChanged, 0,
                            QStringLiteral("Antes: %1; ahora: %2 minutos por %3")
                                .arg(old)
                                .arg(rate.minutes)
                                .arg(numtext::engineNumber(rate.pesos)));
        });
        database->close();
    } catch (const data::DbError &error) {
        return {false, QStringLiteral("No se pudo guardar la nueva tarifa.\n") + error.describe()};
    }
    Q_EMIT rateStored(rate);
    return {true, {}};
}

} // namespace rate
