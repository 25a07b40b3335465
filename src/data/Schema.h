#pragma once

#include <QString>
#include <QStringList>

namespace data {

// The statements that lay out an empty Ludomat file: every table, its checks and indexes.
QStringList schemaStatements();

// The statements that add what a file of an earlier version lacks, given the tables it has.
QStringList missingTables(const QStringList &tables);

// Creates the file as delivered: the schema, the first rate (30 minutes for 10 pesos) and the
// administrator account 'Admin' with the given password hash. Refuses (DbError) when the path
// already exists; removes its own half-written file when anything fails.
void createDeliveredDatabase(const QString &path, const QString &adminPasswordHash);

} // namespace data
