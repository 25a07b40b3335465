#pragma once

#include <QString>
#include <QStringList>

namespace accounts {

// The longest account name, in characters (code points, after normalization).
inline constexpr int kNameMaxLength = 40;

struct NameCheck {
    QString name;    // the name as it is stored: trimmed and in NFC
    QString problem; // why it is refused, in Spanish; empty when it may be stored
};

// The rules for a new account's name: trimmed, NFC, not empty, at most kNameMaxLength
// characters, no control character, and not taken: a name that equals one of existing ignoring
// case, or that a reader could take for it (the same confusable skeleton of UTS #39, marks that
// show nothing left out), is refused naming the account it collides with. existing are the
// stored names as they are; they are only compared, never changed.
NameCheck checkNewAccountName(const QString &typed, const QStringList &existing);

// Whether two names read as one: equal ignoring case, or visually confusable.
bool namesCollide(const QString &a, const QString &b);

} // namespace accounts
