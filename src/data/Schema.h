#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace data {

// The statements that lay out an empty Ludomat file: every table, its checks and indexes.
QStringList schemaStatements();

// A file's tables, each with its columns.
using TableColumns = QMap<QString, QStringList>;

// The statements that add what a file of an earlier version lacks, given what it has: the
// tables, and the columns of tables it has, in the order they were added.
QStringList missingParts(const TableColumns &layout);

// Creates the file as delivered: the schema, the first rate (30 minutes for 10 pesos), the
// administrator account 'Admin' with the given password hash, and the journal's first entry
// starting the books. Refuses (DbError) when the path
// already exists; removes its own half-written file when anything fails.
void createDeliveredDatabase(const QString &path, const QString &adminPasswordHash);

} // namespace data
