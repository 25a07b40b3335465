#pragma once

#include "webview/ViewSettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;
class QTimer;

// Keeps `ludomat --serve` running beside the program while the owner's view is on: started with
// the settings it is given, restarted after a crash with a growing delay (1 s, 2 s, 4 s … 60 s),
// ended with the program (the child gets SIGTERM when its parent goes, even killed). Nothing here
// waits for the child: it is heard through its signals on the thread that owns this object.
namespace webview {

class ViewProcess final : public QObject {
    Q_OBJECT
public:
    enum class State {
        Off,      // not asked to run
        Starting, // started, its LISTO line not yet read
        Running,
        Waiting,  // ended on its own; started again when the delay is over
        Stopping, // asked to end, not yet gone
    };

    explicit ViewProcess(QString dataDir, QObject *parent = nullptr);
    // The child is ended at once (SIGKILL after SIGTERM), not waited for longer.
    ~ViewProcess() override;

    // The executable run as the view; the program's own unless a test says otherwise.
    void setProgram(const QString &program);
    // Runs the view with these settings, the one running first ended when they differ.
    void start(const ViewSettings &settings);
    // Ends the view: SIGTERM, SIGKILL if still there 2 s later. Returns at once.
    void stop();

    State state() const { return state_; }
    quint16 port() const { return port_; }
    QString fingerprint() const { return fingerprint_; }
    // The last failure, in Spanish; empty when it runs or was never started.
    QString problem() const { return problem_; }
    // The child's process id while there is one, else 0.
    qint64 processId() const;
    // What the state is said as in the owner's window: "En marcha en el puerto 8443", the failure…
    QString stateText() const;

    static constexpr int kFirstDelayMs = 1000;
    static constexpr int kLastDelayMs = 60000;

Q_SIGNALS:
    // The child listens (its LISTO line read).
    void running(quint16 port, const QString &fingerprint);
    // The child ended on its own, before or after it listened: why, in Spanish.
    void failed(const QString &message);
    // Any change of state().
    void stateChanged();

private:
    void launch();
    void readOutput();
    void readErrors();
    void ended(int exitCode, int exitStatus);
    void failedToStart();
    void childGone(const QString &message);
    void setState(State state);
    QStringList arguments() const;

    QString dataDir_;
    QString program_;
    ViewSettings settings_;
    bool wanted_ = false; // the view should run
    State state_ = State::Off;
    QPointer<QProcess> process_;
    QByteArray outBuffer_;
    QByteArray errBuffer_;
    QString lastError_;
    QString problem_;
    quint16 port_ = 0;
    QString fingerprint_;
    int delayMs_ = kFirstDelayMs;
    QElapsedTimer runningFor_;
    QTimer *restart_ = nullptr;
};

} // namespace webview
