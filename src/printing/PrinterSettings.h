#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <utility>

namespace data {
class Database;
}

// The room's printer: where slips and receipts go, on what paper, and what is printed for every
// sale. Kept one value per key in Salon, changed with a journal entry "Ajuste del salón".
namespace printing {

enum class Kind {
    None,    // no printer: nothing is printed and nothing is said
    Network, // raw TCP, "host[:port]", port 9100 unless given
    Usb,     // a printer device, /dev/usb/lp0 unless given
    Cups,    // a CUPS queue, sent raw through lp
};

struct PrinterSettings {
    Kind kind = Kind::None;
    QString target; // as typed: the address, the device or the queue; empty for the default
    int widthMm = 80;
    QString shopName;      // printed at the top
    bool receipts = false; // a receipt for every sale
    bool drawer = false;   // the cash drawer opened with every sale
    bool operator==(const PrinterSettings &) const = default;
};

inline const QString kDefaultDevice = QStringLiteral("/dev/usb/lp0");
constexpr quint16 kDefaultPort = 9100;
constexpr int kMaxShopName = 60;

// "ninguna", "red", "usb", "cups": the stored value, also the journal's.
QString kindText(Kind kind);
std::optional<Kind> kindFromText(const QString &text);

// A network printer's host and port from "host", "host:port", "[v6]:port"; nullopt when it
// cannot be one.
std::optional<std::pair<QString, quint16>> networkAddress(const QString &target);
// Where a job goes, the default filled in: "192.168.0.50:9100", "/dev/usb/lp0", the queue.
QString destinationText(const PrinterSettings &settings);
// What is wrong with the settings, in Spanish; empty when they can be stored.
QString checkSettings(const PrinterSettings &settings);

// The stored settings; the delivered ones (no printer) where a key is missing or unreadable.
// Throws DbError when the file cannot be read.
PrinterSettings readSettings(data::Database &db);
// Stores settings in one transaction with their journal entry by administrator. The refusal
// or the failing write's message, in Spanish; empty when stored.
QString saveSettings(data::Database &db, const PrinterSettings &settings, const QString &administrator,
                     const QDateTime &now);
// The journal's text: "Impresora=red; Destino=…; Ancho=80; Negocio=…; Recibos=sí; Cajón=no".
QString settingsText(const PrinterSettings &settings);

} // namespace printing
