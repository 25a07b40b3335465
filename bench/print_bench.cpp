// A shift's slip of about 30 lines laid out for 80 mm and sent through the print service to a
// printer on a local port that answers its status as a printer does; the time from print() to
// the service's word that it went out, median of 51.
#include "printing/PrintService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Accepts one connection after another, answers each paper question, reads to the end.
struct LocalPrinter {
    int listener = -1;
    quint16 port = 0;
    std::atomic_bool stop{false};
    std::thread thread;

    LocalPrinter() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::listen(listener, 8);
        socklen_t length = sizeof a;
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &length);
        port = ntohs(a.sin_port);
        thread = std::thread([this] {
            while (!stop) {
                const int c = ::accept(listener, nullptr, nullptr);
                if (c < 0) {
                    return;
                }
                char buffer[4096];
                int tail = 0; // how far into DLE EOT 4 the bytes so far are
                ssize_t n = 0;
                while ((n = ::read(c, buffer, sizeof buffer)) > 0) {
                    for (ssize_t i = 0; i < n; ++i) {
                        const char want[] = {0x10, 0x04, 0x04};
                        tail = buffer[i] == want[tail] ? tail + 1 : (buffer[i] == 0x10 ? 1 : 0);
                        if (tail == 3) {
                            const char paper = 0x12;
                            (void)!::write(c, &paper, 1);
                            tail = 0;
                        }
                    }
                }
                ::close(c);
            }
        });
    }
    ~LocalPrinter() {
        stop = true;
        ::shutdown(listener, SHUT_RDWR);
        ::close(listener);
        thread.join();
    }
};

printing::Document shiftSlip() {
    using Style = printing::Line::Style;
    printing::Document d;
    d.lines = {{QStringLiteral("Sala Ñandú"), {}, Style::Title},
               {QStringLiteral("Cierre de turno"), {}, Style::Centre},
               {QStringLiteral("Operador: Ana María"), {}, Style::Normal},
               {QStringLiteral("Abierto: 05/12/2026 14:00"), {}, Style::Normal},
               {QStringLiteral("Cerrado: 05/12/2026 22:00"), {}, Style::Normal},
               {{}, {}, Style::Rule}};
    for (int i = 1; i <= 18; ++i) {
        d.lines.push_back({QStringLiteral("Billetes de $ %1 × %2").arg(i * 100).arg(i),
                           QStringLiteral("$ %1,00").arg(i * i * 100), Style::Normal});
    }
    d.lines += {{{}, {}, Style::Rule},
                {QStringLiteral("Esperado"), QStringLiteral("$ 123456,50"), Style::Bold},
                {QStringLiteral("Contado"), QStringLiteral("$ 123400,00"), Style::Bold},
                {QStringLiteral("Diferencia (falta)"), QStringLiteral("$ -56,50"), Style::Bold},
                {QStringLiteral("Registro: entrada 4182, hash 9f3a6c1e0b2d"), {}, Style::Normal},
                {QStringLiteral("Firma: ____________________"), {}, Style::Normal}};
    return d;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    LocalPrinter printer;
    printing::PrintService service;
    service.setSettings(
        {printing::Kind::Network, QStringLiteral("127.0.0.1:%1").arg(printer.port), 80, {}, false, false});
    const printing::Document slip = shiftSlip();
    std::vector<double> ms;
    int failures = 0;
    QObject::connect(&service, &printing::PrintService::failed, &app, [&failures] { ++failures; });
    for (int i = 0; i < 51; ++i) {
        QEventLoop loop;
        QObject::connect(&service, &printing::PrintService::printed, &loop, &QEventLoop::quit);
        QObject::connect(&service, &printing::PrintService::failed, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        timer.start();
        service.print(slip);
        loop.exec();
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("A shift's slip (%lld lines, 80 mm) sent to a local network printer through the print service: "
                "%.2f ms (median of 51, slowest %.2f ms; limit 50 ms)%s\n",
                static_cast<long long>(slip.lines.size()), median, ms.back(), failures ? " - SOME JOBS FAILED" : "");
    return failures == 0 && median < 50 ? 0 : 1;
}
