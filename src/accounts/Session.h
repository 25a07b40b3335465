#pragma once

#include "data/Seal.h"

#include <QObject>
#include <QString>

namespace accounts {

// Who is signed in, and whether as the administrator. Every window and service that names the
// operator asks here; a label only shows it. A change of user keeps the last operator until
// the next sign-in: what happens meanwhile (a prepaid time that ends) still goes under a name.
class Session final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The operator signed in last; empty before the first sign-in.
    const QString &user() const { return user_; }
    bool isAdministrator() const { return administrator_; }
    bool isSignedIn() const { return signedIn_; }

    void signIn(const QString &user, bool administrator);

    // The owner's key, held from the administrator's sign-in (or first password) until a change
    // of user or the end; the journal is sealed with it, the cash close too.
    seal::OwnerSeal &ownerSeal() { return ownerSeal_; }
    const seal::OwnerSeal &ownerSeal() const { return ownerSeal_; }

Q_SIGNALS:
    void changed();

private:
    QString user_;
    bool administrator_ = false;
    bool signedIn_ = false;
    seal::OwnerSeal ownerSeal_;
};

} // namespace accounts
