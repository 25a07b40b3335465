// Synthesises the alarm: a short three-note chime, 16-bit mono PCM at 22050 Hz.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <vector>

namespace {

void put16(std::ofstream &out, std::uint16_t v) {
    out.put(static_cast<char>(v & 0xFF));
    out.put(static_cast<char>(v >> 8));
}

void put32(std::ofstream &out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkwav <out.wav>\n");
        return 2;
    }
    constexpr int rate = 22050;
    const double notes[] = {880.0, 1108.73, 1318.51}; // A5, C#6, E6
    constexpr double noteSeconds = 0.35;
    std::vector<std::int16_t> samples;
    for (double freq : notes) {
        const int count = static_cast<int>(noteSeconds * rate);
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double envelope = std::exp(-5.0 * t) * std::min(1.0, t * 200.0);
            const double wave =
                std::sin(2 * std::numbers::pi * freq * t) + 0.3 * std::sin(4 * std::numbers::pi * freq * t);
            samples.push_back(static_cast<std::int16_t>(std::lround(9000.0 * envelope * wave)));
        }
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "mkwav: cannot write %s\n", argv[1]);
        return 1;
    }
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (std::int16_t s : samples) {
        put16(out, static_cast<std::uint16_t>(s));
    }
    return out ? 0 : 1;
}
