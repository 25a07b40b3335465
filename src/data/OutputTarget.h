#pragma once

#include <QString>

// Where the program may write what it makes: copies of the books, exports, pictures.
namespace data {

// The application_id the program puts in every copy of the books it writes: an existing file
// that carries it may be replaced by a new copy or an export, and no other database may. The
// books themselves never carry it (a copy put back in place loses it when the program opens it).
inline constexpr quint32 kCopyMark = 0x4C646D43; // "LdmC"

// Why nothing the program writes may go to target, as a clause in Spanish ("es la base de datos
// en uso (...): ..."); empty when it may. Refused: the books (the database at books) and their
// -wal, -shm and -journal, found by the file's identity (device and inode, links followed) and,
// for a name that does not exist yet, by its folder's identity and the name; any other existing
// database (or a part of one) that is not a copy the program wrote.
QString outputRefusal(const QString &target, const QString &books);

} // namespace data
