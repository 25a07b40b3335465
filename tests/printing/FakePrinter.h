#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

namespace testing {

// A network printer on a local port, as a printer of the family behaves or misbehaves: each
// connection's bytes kept as one job; asked for its paper (DLE EOT 4) it answers as its mode says.
class FakePrinter final : public QObject {
public:
    enum class Mode {
        Printer,      // answers "paper present"
        Silent,       // never answers a status question
        NoPaper,      // answers "paper end"
        Garbage,      // answers like a web server
        WrongByte,    // answers one byte no printer sends
        ClosesAtOnce, // drops every connection as it comes
        ClosesMidway, // answers the first question, then drops the connection as the job comes
    };
    Mode mode = Mode::Printer;
    QList<QByteArray> jobs;

    FakePrinter() {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                if (mode == Mode::ClosesAtOnce) {
                    socket->abort();
                    socket->deleteLater();
                    continue;
                }
                const qsizetype job = jobs.size();
                jobs.append(QByteArray());
                connect(socket, &QTcpSocket::readyRead, this, [this, socket, job, answered = qsizetype(0)]() mutable {
                    jobs[job] += socket->readAll();
                    if (mode == Mode::ClosesMidway && answered > 0) {
                        socket->abort();
                        return;
                    }
                    const qsizetype asked = jobs[job].count(QByteArrayLiteral("\x10\x04\x04"));
                    for (; answered < asked; ++answered) {
                        answer(socket);
                    }
                });
            }
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }

private:
    void answer(QTcpSocket *socket) const {
        switch (mode) {
        case Mode::Printer:
        case Mode::ClosesMidway:
            socket->write(QByteArray(1, char(0x12)));
            break;
        case Mode::NoPaper:
            socket->write(QByteArray(1, char(0x72)));
            break;
        case Mode::Garbage:
            socket->write("HTTP/1.0 400 Bad Request\r\n\r\n");
            break;
        case Mode::WrongByte:
            socket->write(QByteArray(1, char(0xFF)));
            break;
        case Mode::Silent:
        case Mode::ClosesAtOnce:
            break;
        }
    }
    QTcpServer server_;
};

} // namespace testing
