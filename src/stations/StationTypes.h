#pragma once

#include <QtGlobal>

namespace stations {

// How a station is, or will next be, rented: one boolean, true meaning Contador.
enum class StationMode : bool { Prepago = false, Contador = true };

struct Station {
    qint16 blockMinutes = 0; // minute changes since the last block charge of a Contador rental
    bool running = false;
    StationMode mode = StationMode::Contador;
};

// The price of time, read once at start-up.
struct Rate {
    qint16 Minutos = 0;
    double Pesos = 0.0;
};

constexpr int kStations = 5;
constexpr int kMaxBlocks = 24;
// 24 blocks of this many minutes still fit a 16-bit signed count.
constexpr int kMaxRateMinutes = 32767 / kMaxBlocks; // 1365

} // namespace stations
