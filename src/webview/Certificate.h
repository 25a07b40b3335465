#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// The certificate the owner's view is served with: the program's own for the shop (self-signed,
// made once and kept in the data folder) or one the owner gives as two PEM files.
namespace webview {

inline const QString kOwnCertificateFile = QStringLiteral("vista-certificado.pem");
inline const QString kOwnKeyFile = QStringLiteral("vista-clave.pem"); // mode 0600

struct CertificatePair {
    QSslCertificate certificate;
    QSslKey key;
    QString error; // in Spanish, when there is no usable pair
    bool ok() const { return error.isEmpty(); }
};

// The program's own, made in dataDir at the first call (an EC P-256 key, ten years, the host's
// name, localhost and the machine's addresses as its names) and read back after.
CertificatePair ownCertificate(const QString &dataDir);
// The owner's: a PEM certificate and its PEM private key, checked to belong together.
CertificatePair loadCertificate(const QString &certificateFile, const QString &keyFile);
// The certificate's SHA-256 fingerprint as a phone shows it: "AB:CD:…" (32 pairs).
QString fingerprintText(const QSslCertificate &certificate);

} // namespace webview
