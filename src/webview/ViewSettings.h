#pragma once

#include <QDateTime>
#include <QString>

namespace data {
class Database;
}

// The owner's view as the administrator set it: kept one value per key in Salon ("VistaActiva",
// "VistaPuerto", "VistaCertificado", "VistaClave"), changed with a journal entry "Ajuste del
// salón". Off unless turned on.
namespace webview {

constexpr quint16 kDefaultViewPort = 8443;

struct ViewSettings {
    bool enabled = false;
    quint16 port = kDefaultViewPort;
    // The owner's certificate and key (PEM files); both empty: the program's own.
    QString certificateFile;
    QString keyFile;
    bool operator==(const ViewSettings &) const = default;
};

// What is wrong with the settings, in Spanish; empty when they can be stored.
QString checkSettings(const ViewSettings &settings);
// The stored settings; the delivered ones where a key is missing or unreadable. Throws DbError.
ViewSettings readSettings(data::Database &db);
// Stores them with their journal entry by administrator, in one transaction. The refusal or the
// failing write's message, in Spanish; empty when stored.
QString saveSettings(data::Database &db, const ViewSettings &settings, const QString &administrator,
                     const QDateTime &now);

} // namespace webview
