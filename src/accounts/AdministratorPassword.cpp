#include "accounts/AdministratorPassword.h"

#include "accounts/PasswordHash.h"
#include "accounts/SignInThrottle.h"
#include "data/Database.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "platform/Clock.h"

namespace accounts {

AdministratorCheck checkAdministratorPassword(data::Database &database, SignInThrottle &throttle,
                                              const sys::Clock &clock, const QString &typed) {
    QString name;
    QString hash;
    bool found = false;
    data::Recordset list = database.openRecordset(statements::usuariosList());
    for (; !list.isEof(); list.moveNext()) {
        bool ok = false;
        if (list.field(QStringLiteral("codigo")).toLongLong(&ok) == 0 && ok) {
            name = list.field(QStringLiteral("Usuario")).toString();
            hash = list.field(QStringLiteral("Contraseña")).toString();
            found = true;
            break;
        }
    }
    list.close();
    if (!found) {
        return {AdministratorCheck::Verdict::NoAdministrator,
                QStringLiteral("La tabla Usuarios no tiene cuenta de administrador."),
                {}};
    }
    // The same count of wrong tries as the sign-in keeps for this account: a guess here is a guess there.
    if (const qint64 wait = throttle.waitMs(database, name, Moment::now(clock)); wait > 0) {
        return {AdministratorCheck::Verdict::Waiting,
                QStringLiteral("Demasiadas contraseñas incorrectas para la cuenta %1. Espere %2 antes de intentar de "
                               "nuevo.")
                    .arg(name, numtext::secondsText((wait + 999) / 1000)),
                name};
    }
    if (verifyPassword(hash, typed)) {
        throttle.succeeded(database, name);
        return {AdministratorCheck::Verdict::Right, {}, name};
    }
    throttle.failed(database, name, Moment::now(clock));
    return {AdministratorCheck::Verdict::Wrong, QStringLiteral("La contraseña del administrador es incorrecta."), name};
}

} // namespace accounts
