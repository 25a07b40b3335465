// The price of a ten-hour Contador rental of 1-minute blocks (601 blocks) across four periods of
// the week, with its breakdown text; once in local time, once across a clock change.
#include "pricing/Pricing.h"

#include <QElapsedTimer>
#include <QTimeZone>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

pricing::Terms fourPeriods() {
    pricing::Terms t;
    t.minutes = 1;
    t.cents = 50;
    t.toleranceMinutes = 0;
    t.controllerCents = 10;
    t.periods = {{QStringLiteral("Mediodía"), pricing::kEveryDay, 13 * 60, 14 * 60, 40},
                 {QStringLiteral("Tarde"), pricing::kEveryDay, 15 * 60, 17 * 60, 45},
                 {QStringLiteral("Noche"), pricing::kEveryDay, 19 * 60, 21 * 60, 60},
                 {QStringLiteral("Trasnoche"), pricing::kEveryDay, 22 * 60, 2 * 60, 70}};
    return t;
}

// Median of batches, in microseconds per call.
double measure(const pricing::Terms &terms, const QDateTime &opened, qint64 &sink) {
    constexpr int kBatches = 31;
    constexpr int kCalls = 200;
    std::vector<double> perCall;
    for (int b = 0; b < kBatches; ++b) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kCalls; ++i) {
            const pricing::Price price = pricing::contadorPrice(terms, opened, 10 * 3600 + i % 60, 2);
            sink += price.cents + pricing::breakdownText(terms, price).size();
        }
        perCall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kCalls);
    }
    std::sort(perCall.begin(), perCall.end());
    return perCall[perCall.size() / 2];
}

} // namespace

int main() {
    const pricing::Terms terms = fourPeriods();
    qint64 sink = 0;
    const double local = measure(terms, QDateTime(QDate(2026, 12, 7), QTime(12, 30)), sink);
    const double change =
        measure(terms, QDateTime(QDate(2026, 3, 28), QTime(20, 30), QTimeZone("Europe/Madrid")), sink);
    std::printf("Price of a ten-hour Contador rental, 1-minute blocks, four periods, with its text: %.1f us "
                "(%.1f us across a clock change; median of 31 x 200)  [%lld]\n",
                local, change, static_cast<long long>(sink % 10));
    return 0;
}
