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

// The statements that let Alquiler and Caja of an earlier version take stations 1 to 20 (their
// CHECK stopped at 5), given each table's CREATE text by name: each such table rebuilt with its
// rows, rowids and index. Run inside one transaction.
QStringList widenedStations(const QMap<QString, QString> &createTexts);

// Creates the file as delivered: the schema, the first rate (30 minutes for 10 pesos), the
// administrator account 'Admin' with the given password hash, and the journal's first entry
// starting the books. Refuses (DbError) when the path
// already exists; removes its own half-written file when anything fails.
void createDeliveredDatabase(const QString &path, const QString &adminPasswordHash);

} // namespace data
