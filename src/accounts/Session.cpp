#include "accounts/Session.h"

namespace accounts {

void Session::signIn(const QString &user, bool administrator) {
    const bool same = signedIn_ && user == user_ && administrator == administrator_;
    user_ = user;
    administrator_ = administrator;
    signedIn_ = true;
    if (!same) {
        Q_EMIT changed();
    }
}

} // namespace accounts
