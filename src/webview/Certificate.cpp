#include "webview/Certificate.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLockFile>
#include <QNetworkInterface>
#include <QRegularExpression>
#include <QSysInfo>
#include <fcntl.h>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

namespace webview {

namespace {

template <class T, void (*Free)(T *)> struct Deleter {
    void operator()(T *p) const { Free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION, X509_EXTENSION_free>>;

constexpr int kValidDays = 3650;

QByteArray bioBytes(BIO *bio) {
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return QByteArray(data, qsizetype(size));
}

// The names the shop's phone may reach the machine by.
QString alternativeNames() {
    QStringList names;
    const QString host = QSysInfo::machineHostName();
    static const QRegularExpression dnsName(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    if (dnsName.match(host).hasMatch() && host != QLatin1String("localhost")) {
        names << QStringLiteral("DNS:") + host;
    }
    names << QStringLiteral("DNS:localhost") << QStringLiteral("IP:127.0.0.1");
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            names << QStringLiteral("IP:") + address.toString();
        }
    }
    names.removeDuplicates();
    return names.join(u',');
}

bool addExtension(X509 *certificate, int nid, const QString &value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    ExtPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.toLatin1().constData()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

CertificatePair failed(const QString &error) {
    CertificatePair pair;
    pair.error = error;
    return pair;
}

struct PemPair {
    QByteArray certificate;
    QByteArray key;
};

// A new EC P-256 key and its self-signed certificate for ten years, as PEM.
std::optional<PemPair> makePair() {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr certificate(X509_new());
    if (!key || !certificate) {
        return std::nullopt;
    }
    X509 *x = certificate.get();
    BIGNUM *serial = BN_new();
    bool ok = serial && BN_rand(serial, 127, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
              BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(x)) != nullptr;
    BN_free(serial);
    ok = ok && X509_set_version(x, X509_VERSION_3) == 1;
    // An hour back: a phone whose clock runs a little behind still takes it.
    ok = ok && X509_gmtime_adj(X509_getm_notBefore(x), -3600) != nullptr &&
         X509_time_adj_ex(X509_getm_notAfter(x), kValidDays, 0, nullptr) != nullptr;
    X509_NAME *name = X509_get_subject_name(x);
    const QByteArray common = QStringLiteral("Ludomat vista %1").arg(QSysInfo::machineHostName()).left(64).toUtf8();
    ok = ok &&
         X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>("Ludomat"), -1,
                                    -1, 0) == 1 &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                                    reinterpret_cast<const unsigned char *>(common.constData()), -1, -1, 0) == 1 &&
         X509_set_issuer_name(x, name) == 1 && X509_set_pubkey(x, key.get()) == 1;
    ok = ok && addExtension(x, NID_basic_constraints, QStringLiteral("critical,CA:FALSE")) &&
         addExtension(x, NID_ext_key_usage, QStringLiteral("serverAuth")) &&
         addExtension(x, NID_subject_key_identifier, QStringLiteral("hash")) &&
         addExtension(x, NID_subject_alt_name, alternativeNames());
    ok = ok && X509_sign(x, key.get(), EVP_sha256()) > 0;
    if (!ok) {
        return std::nullopt;
    }
    BioPtr certificateBio(BIO_new(BIO_s_mem()));
    BioPtr keyBio(BIO_new(BIO_s_mem()));
    if (!certificateBio || !keyBio || PEM_write_bio_X509(certificateBio.get(), x) != 1 ||
        PEM_write_bio_PrivateKey(keyBio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        return std::nullopt;
    }
    return PemPair{bioBytes(certificateBio.get()), bioBytes(keyBio.get())};
}

// Written whole under a temporary name with the mode it keeps, then renamed over path.
bool writePrivately(const QString &path, const QByteArray &bytes, mode_t mode) {
    const QByteArray temporary = QFile::encodeName(path + QStringLiteral(".nuevo"));
    ::unlink(temporary.constData());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n <= 0) {
            break;
        }
        written += n;
    }
    const bool ok = written == bytes.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!ok || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

std::optional<QByteArray> readFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.read(1024 * 1024);
}

// The pair from PEM text: whether the key is the certificate's (their public keys compared),
// then both as Qt reads them.
CertificatePair fromPem(const QByteArray &certificatePem, const QByteArray &keyPem, const QString &certificateName,
                        const QString &keyName) {
    CertificatePair pair;
    BioPtr certificateBio(BIO_new_mem_buf(certificatePem.constData(), int(certificatePem.size())));
    CertPtr x509(PEM_read_bio_X509(certificateBio.get(), nullptr, nullptr, nullptr));
    if (!x509) {
        pair.error = QStringLiteral("%1 no es un certificado PEM.").arg(certificateName);
        return pair;
    }
    BioPtr keyBio(BIO_new_mem_buf(keyPem.constData(), int(keyPem.size())));
    // No passphrase callback: a key under a passphrase is refused rather than asked for.
    KeyPtr key(PEM_read_bio_PrivateKey(
        keyBio.get(), nullptr, [](char *, int, int, void *) { return 0; }, nullptr));
    if (!key) {
        pair.error = QStringLiteral("%1 no es una clave privada PEM sin contraseña.").arg(keyName);
        return pair;
    }
    if (EVP_PKEY_eq(X509_get0_pubkey(x509.get()), key.get()) != 1) {
        pair.error = QStringLiteral("La clave %1 no es la del certificado %2.").arg(keyName, certificateName);
        return pair;
    }
    // Qt reads the key as PKCS#8, whatever form the file had.
    BioPtr pkcs8(BIO_new(BIO_s_mem()));
    if (PEM_write_bio_PrivateKey(pkcs8.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        pair.error = QStringLiteral("La clave %1 no se puede usar.").arg(keyName);
        return pair;
    }
    const int type = EVP_PKEY_get_base_id(key.get());
    const QSsl::KeyAlgorithm algorithm = type == EVP_PKEY_EC    ? QSsl::Ec
                                         : type == EVP_PKEY_RSA ? QSsl::Rsa
                                         : type == EVP_PKEY_DSA ? QSsl::Dsa
                                                                : QSsl::Opaque;
    pair.certificate = QSslCertificate(certificatePem, QSsl::Pem);
    pair.key = QSslKey(bioBytes(pkcs8.get()), algorithm, QSsl::Pem, QSsl::PrivateKey);
    if (pair.certificate.isNull() || pair.key.isNull()) {
        pair.error = QStringLiteral("El certificado %1 o su clave no se pueden usar para HTTPS.").arg(certificateName);
        return pair;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (pair.certificate.expiryDate() < now) {
        pair.error = QStringLiteral("El certificado %1 venció el %2.")
                         .arg(certificateName,
                              pair.certificate.expiryDate().toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
    } else if (pair.certificate.effectiveDate() > now.addDays(1)) {
        pair.error = QStringLiteral("El certificado %1 todavía no vale (desde el %2).")
                         .arg(certificateName,
                              pair.certificate.effectiveDate().toLocalTime().toString(QStringLiteral("dd/MM/yyyy")));
    }
    return pair;
}

} // namespace

CertificatePair ownCertificate(const QString &dataDir) {
    const QDir dir(dataDir);
    const QString certificatePath = dir.filePath(kOwnCertificateFile);
    const QString keyPath = dir.filePath(kOwnKeyFile);
    // The program and the view may both ask first: one makes the pair, the other reads it.
    QLockFile lock(dir.filePath(QStringLiteral("vista-certificado.lock")));
    lock.setStaleLockTime(30000);
    if (!lock.tryLock(10000)) {
        return failed(QStringLiteral("No se pudo tomar la carpeta %1 para el certificado de la vista.").arg(dataDir));
    }
    if (!QFileInfo::exists(certificatePath) || !QFileInfo::exists(keyPath)) {
        const auto made = makePair();
        if (!made) {
            return failed(QStringLiteral("No se pudo hacer el certificado de la vista."));
        }
        // The key first: a certificate on disk always has its key.
        if (!writePrivately(keyPath, made->key, 0600) || !writePrivately(certificatePath, made->certificate, 0644)) {
            return failed(QStringLiteral("No se pudo guardar el certificado de la vista en %1.").arg(dataDir));
        }
    }
    const auto certificatePem = readFile(certificatePath);
    const auto keyPem = readFile(keyPath);
    if (!certificatePem || !keyPem) {
        return failed(QStringLiteral("No se pueden leer %1 y %2.").arg(certificatePath, keyPath));
    }
    CertificatePair pair = fromPem(*certificatePem, *keyPem, certificatePath, keyPath);
    if (!pair.ok()) {
        pair.error += QStringLiteral(" Bórrelos (%1 y %2) para que el programa haga otro certificado.")
                          .arg(kOwnCertificateFile, kOwnKeyFile);
    }
    return pair;
}

CertificatePair loadCertificate(const QString &certificateFile, const QString &keyFile) {
    const auto certificatePem = readFile(certificateFile);
    if (!certificatePem) {
        return failed(QStringLiteral("No se puede leer el certificado %1.").arg(certificateFile));
    }
    const auto keyPem = readFile(keyFile);
    if (!keyPem) {
        return failed(QStringLiteral("No se puede leer la clave %1.").arg(keyFile));
    }
    return fromPem(*certificatePem, *keyPem, certificateFile, keyFile);
}

QString fingerprintText(const QSslCertificate &certificate) {
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

} // namespace webview
