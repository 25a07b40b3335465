#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace sys {
struct Platform;
}

// The cash close's "Copia de seguridad…": a checked copy of the books into a file the operator
// chooses, made on a thread of its own with a progress dialog.
namespace cash_close {

// Asks where to put the copy; an empty string when the operator gave up. The file dialog by
// default; tests put in an answer of their own.
using BackupPathChooser = std::function<QString(QWidget *parent, const QString &suggested)>;
void setBackupPathChooser(BackupPathChooser chooser); // empty: the file dialog again

// Makes the copy and says how it went; returns when it is done (the window's events go on).
void backupOnDemand(QWidget *parent, sys::Platform &platform, const QString &usuario);

} // namespace cash_close
