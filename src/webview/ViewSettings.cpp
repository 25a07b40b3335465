#include "webview/ViewSettings.h"

#include "data/Database.h"
#include "data/DbError.h"
#include "data/Journal.h"
#include "data/Recordset.h"
#include "data/Statements.h"

#include <QFileInfo>

namespace webview {

namespace {

const QString kEnabledKey = QStringLiteral("VistaActiva");
const QString kPortKey = QStringLiteral("VistaPuerto");
const QString kCertificateKey = QStringLiteral("VistaCertificado");
const QString kKeyKey = QStringLiteral("VistaClave");

// Below 1024 a port needs root; the program never runs as root.
constexpr int kFirstPort = 1024;

QString yesNo(bool on) {
    return on ? QStringLiteral("sí") : QStringLiteral("no");
}

QString lookup(data::Database &db, const QString &key) {
    const data::Recordset row = db.openRecordset(statements::salonLookup(key));
    return row.isEof() ? QString() : row.field(QStringLiteral("Valor")).toString();
}

QString settingsText(const ViewSettings &settings) {
    QString text = QStringLiteral("Vista=%1; Puerto=%2; Certificado=").arg(yesNo(settings.enabled)).arg(settings.port);
    if (settings.certificateFile.trimmed().isEmpty()) {
        return text + QStringLiteral("propio");
    }
    return text + settings.certificateFile.trimmed() + QStringLiteral("; Clave=") + settings.keyFile.trimmed();
}

QString fileProblem(const QString &path, const QString &what) {
    const QFileInfo info(path);
    if (!info.isAbsolute()) {
        return QStringLiteral("El archivo %1 se indica con su ruta completa, como /home/dueno/%2.pem.")
            .arg(what,
                 what == QLatin1String("del certificado") ? QStringLiteral("certificado") : QStringLiteral("clave"));
    }
    if (!info.isFile() || !info.isReadable()) {
        return QStringLiteral("No se puede leer el archivo %1: %2").arg(what, path);
    }
    return {};
}

} // namespace

QString checkSettings(const ViewSettings &settings) {
    if (settings.port < kFirstPort) {
        return QStringLiteral("El puerto de la vista va de %1 a 65535; el de siempre es %2.")
            .arg(kFirstPort)
            .arg(kDefaultViewPort);
    }
    const QString certificate = settings.certificateFile.trimmed();
    const QString key = settings.keyFile.trimmed();
    if (certificate.isEmpty() != key.isEmpty()) {
        return QStringLiteral("Indique los dos archivos, el certificado y su clave, o ninguno para usar el "
                              "certificado propio del programa.");
    }
    if (!certificate.isEmpty()) {
        for (const auto &[path, what] : {std::pair{certificate, QStringLiteral("del certificado")},
                                         std::pair{key, QStringLiteral("de la clave")}}) {
            if (QString problem = fileProblem(path, what); !problem.isEmpty()) {
                return problem;
            }
        }
    }
    return {};
}

ViewSettings readSettings(data::Database &db) {
    ViewSettings settings;
    try {
        settings.enabled = lookup(db, kEnabledKey) == yesNo(true);
    } catch (const data::DbError &) {
        // Books from before the room's settings have no Salon: the view is off.
        return settings;
    }
    bool ok = false;
    const int port = lookup(db, kPortKey).toInt(&ok);
    if (ok && port >= kFirstPort && port <= 65535) {
        settings.port = static_cast<quint16>(port);
    }
    settings.certificateFile = lookup(db, kCertificateKey);
    settings.keyFile = lookup(db, kKeyKey);
    if (settings.certificateFile.isEmpty() || settings.keyFile.isEmpty()) {
        settings.certificateFile.clear(); // half a pair is no pair: the program's own
        settings.keyFile.clear();
    }
    return settings;
}

QString saveSettings(data::Database &db, const ViewSettings &settings, const QString &administrator,
                     const QDateTime &now) {
    if (QString problem = checkSettings(settings); !problem.isEmpty()) {
        return problem;
    }
    try {
        journal::storeRoomSettings(db,
                                   {
                                       {kEnabledKey, yesNo(settings.enabled)},
                                       {kPortKey, QString::number(settings.port)},
                                       {kCertificateKey, settings.certificateFile.trimmed()},
                                       {kKeyKey, settings.keyFile.trimmed()},
                                   },
                                   now, administrator, settingsText(settings));
        return {};
    } catch (const data::DbError &error) {
        return QStringLiteral("No se guardó la vista del dueño: ") + error.message();
    }
}

} // namespace webview
