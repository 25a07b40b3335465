#pragma once

#include <QString>

// Where the program keeps the shop's books and finds what was delivered with it. Every path the
// program uses comes from here.
namespace sys {

struct Locations {
    Locations() = default;
    // A data folder alone: the one folder of a test or of a portable copy.
    Locations(QString data, QString shared = {}) : dataFolder(std::move(data)), sharedFolder(std::move(shared)) {}

    QString dataFolder;   // the books: dbLudomat.mdb and the copies in copias/
    QString sharedFolder; // delivered with the program, read only: the database template, queen.wav

    QString database() const;
    // queen.wav of the data folder when there is one there, else the delivered one.
    QString alarm() const;
    QString backups() const;
    QString databaseTemplate() const;
};

struct LocationChoice {
    QString explicitFolder; // --data-dir, else LUDOMAT_DATA_DIR; empty when neither
    QString programFolder;  // the executable's own folder
    QString userFolder;     // the user's data folder (QStandardPaths::AppDataLocation)
};

// The data folder, in this order: the one asked for; the program's own folder when it holds a
// dbLudomat.mdb and can be written (a portable install); the user's data folder. The shared
// folder is share/ludomat beside the program's bin folder.
Locations locate(const LocationChoice &choice);

// The data folder asked for: --data-dir, else LUDOMAT_DATA_DIR; empty when neither. A variable
// set but empty (as some launchers and service files leave it) asks for nothing. The one place
// that decides whether a folder was asked for.
QString askedDataFolder(const QString &dataDirArgument);

// The program's own choice: the data folder asked for (askedDataFolder), else its own folder or
// the user's. Needs the application object (its folder and name).
Locations locateProgram(const QString &askedFolder);

// Makes the data folder ready for the program: the user's data folder is created when missing,
// and a new folder (just made, or empty) gets a fresh copy of the delivered template (written
// under a temporary name, then renamed; never over an existing file). A folder asked for
// explicitly must exist. A folder that holds anything but no database gets no new books: see
// missingBooks. Returns what stands in the way, in Spanish and naming the path; empty when ready.
QString prepare(const Locations &where, bool createFolder);

// The books are missing: no dbLudomat.mdb in a data folder that holds something (an orphan -wal,
// the copies, any file), so books were there. What the owner is told, naming the folder and the
// newest copy in copias/ with its date; empty when the database is there or the folder is new.
QString missingBooks(const Locations &where);

} // namespace sys
