#include "printing/Sender.h"

#include "platform/Background.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace printing {

namespace {

constexpr int kSliceMs = 100; // how often a wait looks at the cancel

// A file descriptor closed when it goes.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

enum class Wait { Ready, TimedOut, Cancelled, Failed };

// Waits for events on fd until deadline, in slices, giving way to a cancel.
Wait waitFor(int fd, short events, const QDeadlineTimer &deadline, const sys::CancelToken &token) {
    while (true) {
        if (token.cancelled()) {
            return Wait::Cancelled;
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            return Wait::TimedOut;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<qint64>(left < 0 ? kSliceMs : left, kSliceMs)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Wait::Failed;
        }
        if (n > 0) {
            return Wait::Ready; // errors and hang-ups too: the read or write that follows tells
        }
    }
}

const QString kCancelled = QStringLiteral("el trabajo se canceló");

QString closedMidway(const QString &where) {
    return QStringLiteral("la impresora %1 cortó la conexión antes de terminar").arg(where);
}

// Writes all of job, or says why not. Hard errors of the peer are its closing.
QString writeAll(int fd, const QByteArray &job, bool socket, const QString &where, int timeoutMs,
                 const sys::CancelToken &token) {
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype done = 0;
    while (done < job.size()) {
        const ssize_t n = socket ? ::send(fd, job.constData() + done, size_t(job.size() - done), MSG_NOSIGNAL)
                                 : ::write(fd, job.constData() + done, size_t(job.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            switch (waitFor(fd, POLLOUT, deadline, token)) {
            case Wait::Ready:
                continue;
            case Wait::Cancelled:
                return kCancelled;
            case Wait::TimedOut:
                return QStringLiteral("la impresora %1 no recibe datos (¿sin papel, con la tapa abierta o apagada?)")
                    .arg(where);
            case Wait::Failed:
                break;
            }
        }
        if (socket) {
            return closedMidway(where);
        }
        return QStringLiteral("no se pudo escribir en %1: %2").arg(where, QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

// Asks a network printer for its paper: empty when it has paper or does not answer, else why not.
QString askPaper(int fd, const QString &where, const Timeouts &timeouts, int waitMs, const sys::CancelToken &token,
                 bool *answered) {
    static const QByteArray query("\x10\x04\x04", 3);
    if (QString problem = writeAll(fd, query, true, where, timeouts.writeMs, token); !problem.isEmpty()) {
        return problem;
    }
    switch (waitFor(fd, POLLIN, QDeadlineTimer(waitMs), token)) {
    case Wait::Cancelled:
        return kCancelled;
    case Wait::TimedOut:
        *answered = false;
        return {};
    case Wait::Ready:
    case Wait::Failed:
        break;
    }
    unsigned char reply[64];
    const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
    if (n <= 0) {
        return closedMidway(where);
    }
    // A printer answers with one byte of a fixed pattern; anything else is not a printer.
    if (n != 1 || !isPaperStatus(reply[0])) {
        return QStringLiteral("en %1 respondió algo que no es una impresora (¿es la dirección correcta?)").arg(where);
    }
    if (paperOut(reply[0])) {
        return QStringLiteral("la impresora %1 no tiene papel").arg(where);
    }
    *answered = true;
    return {};
}

QString refusal(const QString &where, int error) {
    return error == ECONNREFUSED ? QStringLiteral("la impresora %1 rechazó la conexión (¿está apagada?)").arg(where)
                                 : QStringLiteral("no se llegó a la impresora %1: %2")
                                       .arg(where, QString::fromLocal8Bit(std::strerror(error)));
}

QString sendNetwork(const PrinterSettings &settings, const QByteArray &job, const sys::CancelToken &token,
                    const Timeouts &timeouts) {
    const QString where = destinationText(settings);
    const auto address = networkAddress(settings.target);
    if (!address) {
        return QStringLiteral("«%1» no es una dirección de impresora").arg(settings.target);
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (::getaddrinfo(address->first.toUtf8().constData(), QByteArray::number(address->second).constData(), &hints,
                      &found) != 0 ||
        !found) {
        return QStringLiteral("no se encontró la impresora %1 en la red").arg(where);
    }
    Fd socket;
    socket.fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, found->ai_protocol);
    const int connected = socket.fd < 0 ? -1 : ::connect(socket.fd, found->ai_addr, found->ai_addrlen);
    const int connectError = errno;
    ::freeaddrinfo(found);
    if (socket.fd < 0 || (connected < 0 && connectError != EINPROGRESS)) {
        return refusal(where, socket.fd < 0 ? errno : connectError);
    }
    if (connected < 0) {
        switch (waitFor(socket.fd, POLLOUT, QDeadlineTimer(timeouts.connectMs), token)) {
        case Wait::Cancelled:
            return kCancelled;
        case Wait::TimedOut:
            return QStringLiteral("la impresora %1 no respondió (¿está apagada o desconectada de la red?)").arg(where);
        case Wait::Ready:
        case Wait::Failed:
            break;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return refusal(where, error);
        }
    }
    // The questions are a few bytes each: sent at once, not held back for an acknowledgement.
    const int one = 1;
    ::setsockopt(socket.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    bool answers = false;
    if (QString problem = askPaper(socket.fd, where, timeouts, timeouts.statusMs, token, &answers);
        !problem.isEmpty()) {
        return problem;
    }
    if (QString problem = writeAll(socket.fd, job, true, where, timeouts.writeMs, token); !problem.isEmpty()) {
        return problem;
    }
    // A printer that answered before answers again once it has read the whole job (which may wait
    // for room in its buffer while it prints): silence or a closed connection then means the job
    // did not all arrive.
    if (answers) {
        bool again = false;
        if (QString problem = askPaper(socket.fd, where, timeouts, timeouts.writeMs, token, &again);
            !problem.isEmpty()) {
            return problem;
        }
        if (!again) {
            return closedMidway(where);
        }
    }
    ::shutdown(socket.fd, SHUT_WR);
    return {};
}

QString sendDevice(const PrinterSettings &settings, const QByteArray &job, const sys::CancelToken &token,
                   const Timeouts &timeouts) {
    const QString where = destinationText(settings);
    Fd device;
    // Never made: a missing device is a printer not plugged in. Non-blocking: a printer that
    // takes nothing must not hold the job past its time.
    device.fd = ::open(where.toLocal8Bit().constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (device.fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return QStringLiteral("no está la impresora %1 (¿está conectada y encendida?)").arg(where);
        case EACCES:
        case EPERM:
            return QStringLiteral("no hay permiso para escribir en %1 (el usuario debe estar en el grupo «lp»)")
                .arg(where);
        case EBUSY:
            return QStringLiteral("la impresora %1 está ocupada por otro programa").arg(where);
        default:
            return QStringLiteral("no se pudo abrir %1: %2").arg(where, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    return writeAll(device.fd, job, false, where, timeouts.writeMs, token);
}

QString sendCups(const PrinterSettings &settings, const QByteArray &job, const sys::CancelToken &token,
                 const Timeouts &timeouts) {
    const QString queue = destinationText(settings);
    QProcess lp;
    lp.setProcessChannelMode(QProcess::SeparateChannels);
    lp.start(QStringLiteral("lp"), {QStringLiteral("-d"), queue, QStringLiteral("-o"), QStringLiteral("raw")});
    if (!lp.waitForStarted(timeouts.connectMs)) {
        return QStringLiteral("no se encontró el programa «lp» de CUPS (¿está instalado CUPS?)");
    }
    lp.write(job);
    lp.closeWriteChannel();
    const QDeadlineTimer deadline(timeouts.lpMs);
    while (!lp.waitForFinished(kSliceMs)) {
        if (lp.state() == QProcess::NotRunning) {
            break;
        }
        if (token.cancelled() || deadline.hasExpired()) {
            lp.kill();
            lp.waitForFinished(1000);
            return token.cancelled() ? kCancelled
                                     : QStringLiteral("CUPS no tomó el trabajo para la cola «%1» a tiempo").arg(queue);
        }
    }
    if (lp.exitStatus() != QProcess::NormalExit || lp.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(lp.readAllStandardError()).trimmed().section(u'\n', 0, 0);
        return QStringLiteral("CUPS no aceptó el trabajo para la cola «%1»%2")
            .arg(queue, said.isEmpty() ? QString() : QStringLiteral(": ") + said);
    }
    return {};
}

} // namespace

bool isPaperStatus(unsigned char status) {
    return (status & 0x93) == 0x12;
}

bool paperOut(unsigned char status) {
    return (status & 0x60) != 0;
}

QString send(const PrinterSettings &settings, const QByteArray &job, const sys::CancelToken &token,
             const Timeouts &timeouts) {
    switch (settings.kind) {
    case Kind::Network:
        return sendNetwork(settings, job, token, timeouts);
    case Kind::Usb:
        return sendDevice(settings, job, token, timeouts);
    case Kind::Cups:
        return sendCups(settings, job, token, timeouts);
    case Kind::None:
        break;
    }
    return QStringLiteral("no hay ninguna impresora elegida");
}

} // namespace printing
