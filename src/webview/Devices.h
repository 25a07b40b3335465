#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <memory>
#include <optional>

// The devices paired with the owner's view, kept in a small file of their own beside the books
// (never in them: the view never writes the books). Only a hash of each device's token is
// stored, so the file gives nobody a way in. Both processes use it: the program makes pairing
// codes, lists devices and revokes them; the view pairs a device and looks its token up. Every
// call throws data::DbError when the file cannot be read or written.
namespace webview {

inline const QString kDevicesFileName = QStringLiteral("vista.db");

struct Device {
    qint64 id = 0;
    QString name; // as the phone gave it when it paired (trimmed, at most kMaxDeviceName)
    QDateTime pairedUtc;
    QDateTime lastUseUtc; // refreshed at most once a minute
};

struct PairingCode {
    QString code; // 8 characters a phone's keyboard types without doubt, e.g. "K7QM4XPD"
    QDateTime expiresUtc;
};

constexpr int kMaxDeviceName = 40;
constexpr int kPairingMinutes = 10;

// The device's token: 32 random bytes, base64url without padding (43 characters).
QByteArray newToken();
// What is stored of a token: its SHA-256, hex.
QByteArray tokenHash(const QByteArray &token);

class DeviceStore final {
public:
    // Opens the file, creating it (mode 0600) with its tables when missing.
    explicit DeviceStore(const QString &path);
    ~DeviceStore();
    DeviceStore(const DeviceStore &) = delete;
    DeviceStore &operator=(const DeviceStore &) = delete;

    // The program's side. A new code replaces any earlier one; it is good for one pairing within
    // kPairingMinutes.
    PairingCode newPairingCode(const QDateTime &nowUtc);
    void clearPairingCode();
    QVector<Device> devices();
    void revoke(qint64 id);
    // Every device and the code: the view was turned off.
    void revokeAll();

    // The view's side. The device's token when code is the current one and still good (it is
    // then used up); nullopt otherwise.
    std::optional<QByteArray> pair(const QString &code, const QString &deviceName, const QDateTime &nowUtc);
    // The device holding that token, its last use brought up to date; nullopt when none (never
    // paired, or revoked).
    std::optional<Device> deviceForToken(const QByteArray &token, const QDateTime &nowUtc);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace webview
