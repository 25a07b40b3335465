#include "webview/ViewProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace webview {

namespace {

// A child that listened this long before it ended had not been failing: its next restart is quick.
constexpr qint64 kSteadyMs = 60000;
// Enough of the child's standard error for its last line; a chatty child cannot grow it.
constexpr qsizetype kErrorKeep = 4096;
constexpr int kKillAfterMs = 2000;

} // namespace

ViewProcess::ViewProcess(QString dataDir, QObject *parent)
    : QObject(parent), dataDir_(std::move(dataDir)), program_(QCoreApplication::applicationFilePath()),
      restart_(new QTimer(this)) {
    restart_->setSingleShot(true);
    connect(restart_, &QTimer::timeout, this, &ViewProcess::launch);
}

ViewProcess::~ViewProcess() {
    if (process_) {
        process_->disconnect(this);
        process_->terminate();
        delete process_.data(); // kills what is left; a SIGKILLed child is reaped at once
    }
}

void ViewProcess::setProgram(const QString &program) {
    program_ = program;
}

qint64 ViewProcess::processId() const {
    return process_ ? process_->processId() : 0;
}

QStringList ViewProcess::arguments() const {
    QStringList arguments{QStringLiteral("--serve"), QStringLiteral("--data-dir"), dataDir_, QStringLiteral("--port"),
                          QString::number(settings_.port)};
    if (!settings_.certificateFile.isEmpty()) {
        arguments << QStringLiteral("--certificate") << settings_.certificateFile << QStringLiteral("--key")
                  << settings_.keyFile;
    }
    return arguments;
}

void ViewProcess::start(const ViewSettings &settings) {
    ViewSettings asked = settings;
    asked.enabled = true;
    const bool same = wanted_ && settings_ == asked;
    settings_ = asked;
    wanted_ = true;
    switch (state_) {
    case State::Off:
        delayMs_ = kFirstDelayMs;
        launch();
        break;
    case State::Waiting:
        // Asked again by the administrator: at once, not after the delay.
        restart_->stop();
        delayMs_ = kFirstDelayMs;
        launch();
        break;
    case State::Starting:
    case State::Running:
        if (!same) {
            delayMs_ = kFirstDelayMs;
            stop();
            wanted_ = true; // started again once this one is gone
        }
        break;
    case State::Stopping:
        break; // started again once it is gone
    }
}

void ViewProcess::stop() {
    wanted_ = false;
    restart_->stop();
    if (!process_) {
        problem_.clear();
        setState(State::Off);
        return;
    }
    if (state_ != State::Stopping) {
        process_->terminate();
        QProcess *child = process_;
        QTimer::singleShot(kKillAfterMs, child, [child] { child->kill(); });
        setState(State::Stopping);
    }
}

void ViewProcess::launch() {
    if (!wanted_ || process_) {
        return;
    }
    auto *child = new QProcess(this);
    process_ = child;
    outBuffer_.clear();
    errBuffer_.clear();
    lastError_.clear();
    port_ = 0;
    fingerprint_.clear();
    child->setProgram(program_);
    child->setArguments(arguments());
    child->setStandardInputFile(QProcess::nullDevice());
    // The view ends with the program, however the program ends; a parent already gone before
    // the request was made is caught by its new parent's id.
    const pid_t parent = ::getpid();
    child->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) {
            ::_exit(1);
        }
    });
    connect(child, &QProcess::readyReadStandardOutput, this, &ViewProcess::readOutput);
    connect(child, &QProcess::readyReadStandardError, this, &ViewProcess::readErrors);
    connect(child, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { ended(exitCode, int(status)); });
    connect(child, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart();
        }
    });
    setState(State::Starting);
    child->start();
}

void ViewProcess::readOutput() {
    if (!process_) {
        return;
    }
    outBuffer_ += process_->readAllStandardOutput();
    qsizetype end = 0;
    while ((end = outBuffer_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(outBuffer_.left(end)).trimmed();
        outBuffer_.remove(0, end + 1);
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        bool ok = false;
        const uint port = words.size() >= 2 && words[0] == QLatin1String("LISTO") ? words[1].toUInt(&ok) : 0;
        if (ok && port > 0 && port <= 65535 && state_ == State::Starting) {
            port_ = static_cast<quint16>(port);
            fingerprint_ = words.value(2);
            problem_.clear();
            runningFor_.start();
            setState(State::Running);
            Q_EMIT running(port_, fingerprint_);
        }
    }
    if (outBuffer_.size() > kErrorKeep) {
        outBuffer_.clear(); // no line that long is the one awaited
    }
}

void ViewProcess::readErrors() {
    if (!process_) {
        return;
    }
    errBuffer_ += process_->readAllStandardError();
    if (errBuffer_.size() > kErrorKeep) {
        errBuffer_ = errBuffer_.right(kErrorKeep);
    }
    const QStringList lines = QString::fromUtf8(errBuffer_).split(u'\n', Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->trimmed().isEmpty()) {
            lastError_ = line->trimmed();
            break;
        }
    }
}

void ViewProcess::ended(int exitCode, int exitStatus) {
    QProcess *child = process_;
    if (!child) {
        return;
    }
    readErrors();
    process_.clear();
    child->disconnect(this);
    child->deleteLater();
    if (state_ == State::Stopping) {
        port_ = 0;
        if (wanted_) {
            launch();
        } else {
            problem_.clear();
            setState(State::Off);
        }
        return;
    }
    QString message;
    if (exitStatus == QProcess::CrashExit) {
        message = QStringLiteral("La vista del dueño se cerró de golpe.");
    } else if (!lastError_.isEmpty()) {
        message = lastError_;
    } else {
        message = QStringLiteral("La vista del dueño terminó sin decir por qué (código %1).").arg(exitCode);
    }
    childGone(message);
}

void ViewProcess::failedToStart() {
    QProcess *child = process_;
    if (!child) {
        return;
    }
    const QString message =
        QStringLiteral("No se pudo iniciar la vista del dueño (%1): %2").arg(program_, child->errorString());
    process_.clear();
    child->disconnect(this);
    child->deleteLater();
    if (state_ == State::Stopping) {
        setState(State::Off);
        return;
    }
    childGone(message);
}

void ViewProcess::childGone(const QString &message) {
    if (runningFor_.isValid() && runningFor_.elapsed() >= kSteadyMs) {
        delayMs_ = kFirstDelayMs;
    }
    runningFor_.invalidate();
    port_ = 0;
    fingerprint_.clear();
    problem_ = message;
    if (wanted_) {
        restart_->start(delayMs_);
        delayMs_ = std::min(delayMs_ * 2, kLastDelayMs);
        setState(State::Waiting);
    } else {
        setState(State::Off);
    }
    Q_EMIT failed(message);
}

void ViewProcess::setState(State state) {
    if (state_ != state) {
        state_ = state;
        Q_EMIT stateChanged();
    }
}

QString ViewProcess::stateText() const {
    switch (state_) {
    case State::Off:
        return QStringLiteral("Apagada.");
    case State::Starting:
        return QStringLiteral("Arrancando…");
    case State::Running:
        return QStringLiteral("En marcha en el puerto %1.").arg(port_);
    case State::Waiting:
        return QStringLiteral("%1 Se vuelve a intentar en %2 s.")
            .arg(problem_)
            .arg((restart_->remainingTime() + 999) / 1000);
    case State::Stopping:
        return QStringLiteral("Deteniéndose…");
    }
    return {};
}

} // namespace webview
