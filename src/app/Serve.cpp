#include "app/Serve.h"

#include "data/DbError.h"
#include "platform/Locations.h"
#include "webview/Certificate.h"
#include "webview/Devices.h"
#include "webview/ViewServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[0], &byte, 1);
}

void say(const QString &line) {
    std::fputs((QStringLiteral("ludomat: ") + line + u'\n').toLocal8Bit().constData(), stderr);
}

// SIGTERM and its kind end the event loop through a socket pair: a handler may do nothing else.
bool quitOnSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return false;
    }
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signalNumber, &action, nullptr);
    }
    return true;
}

} // namespace

int serve(const ServeArguments &arguments) {
    // The view never outlives the program that started it; a parent gone before the request
    // took effect is seen as a new parent.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) {
        return 1;
    }
    bool portOk = false;
    const uint port = arguments.port.toUInt(&portOk);
    if (!portOk || port > 65535) {
        say(QStringLiteral("el puerto va de 0 a 65535, no «%1».").arg(arguments.port));
        return 2;
    }
    QHostAddress address = QHostAddress::Any;
    if (!arguments.bind.isEmpty() && !address.setAddress(arguments.bind)) {
        say(QStringLiteral("«%1» no es una dirección IP.").arg(arguments.bind));
        return 2;
    }
    if (arguments.certificate.isEmpty() != arguments.key.isEmpty()) {
        say(QStringLiteral("el certificado del dueño va con su clave: «--certificate» y «--key» juntos."));
        return 2;
    }
    if (!quitOnSignals()) {
        say(QStringLiteral("no se pudo preparar el fin de la vista."));
        return 1;
    }
    const sys::Locations where = sys::locateProgram(sys::askedDataFolder(arguments.dataDir));
    webview::CertificatePair certificate = arguments.certificate.isEmpty()
                                               ? webview::ownCertificate(where.dataFolder)
                                               : webview::loadCertificate(arguments.certificate, arguments.key);
    if (!certificate.ok()) {
        say(certificate.error);
        return 1;
    }
    const QString fingerprint = webview::fingerprintText(certificate.certificate);
    webview::ServerSetup setup;
    setup.databasePath = where.database();
    setup.devicesPath = QDir(where.dataFolder).filePath(webview::kDevicesFileName);
    setup.certificate = std::move(certificate);
    setup.address = address;
    setup.port = quint16(port);
    std::unique_ptr<webview::ViewServer> server;
    try {
        server = std::make_unique<webview::ViewServer>(setup);
    } catch (const data::DbError &error) {
        say(QStringLiteral("no se puede abrir la lista de dispositivos: %1").arg(error.message()));
        return 1;
    }
    try {
        server->openBooks();
    } catch (const data::DbError &error) {
        say(QStringLiteral("no se pueden leer los libros: %1").arg(error.message()));
        return 1;
    }
    if (const QString failure = server->listen(); !failure.isEmpty()) {
        say(failure);
        return 1;
    }
    std::printf("LISTO %u %s\n", unsigned(server->port()), fingerprint.toLatin1().constData());
    std::fflush(stdout);
    const int status = QCoreApplication::exec();
    server.reset();
    return status;
}

} // namespace app
