#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QTimer;

namespace sys {

// A second start on the same books finds the running program and asks it to come to the front,
// through a local socket named after the database file's identity (device and inode) and the
// user: whatever path reaches the file, the name is the same. The socket lives in the abstract
// namespace, so nothing is left on disk by a program that was killed.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // show runs in the running program, on its user-interface thread, for every second start.
    SingleInstance(QString databasePath, std::function<void()> show, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Answers second starts from now on, under the file's present identity, and follows the path:
    // a file put back or restored under it is a new identity, listened for within seconds.
    // False when the socket could not be made.
    bool listen();

    // In the second start: asks the program that runs on this file to show itself and waits up
    // to timeoutMs for it to say it did. False when no program answered (none listens yet, an
    // older one, one that hangs): then the caller says so itself.
    static bool askRunningToShow(const QString &databasePath, int timeoutMs);

    // "ludomat-<uid>-<device>-<inode>"; empty when the file cannot be found.
    static QString socketName(const QString &databasePath);

private:
    void answer();
    void follow();

    QString path_;
    QString name_;
    QTimer *follow_ = nullptr;
    std::function<void()> show_;
    QLocalServer *server_ = nullptr;
};

} // namespace sys
