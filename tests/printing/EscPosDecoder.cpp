#include "EscPosDecoder.h"

#include <unicode/ucnv.h>

namespace testing {

namespace {

QString fromIbm850(const QByteArray &bytes) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter *converter = ucnv_open("ibm-850", &status);
    if (U_FAILURE(status)) {
        qFatal("ICU has no ibm-850");
    }
    std::vector<UChar> out(size_t(bytes.size()) * 2 + 1);
    const int32_t n =
        ucnv_toUChars(converter, out.data(), int32_t(out.size()), bytes.constData(), int32_t(bytes.size()), &status);
    ucnv_close(converter);
    return QString(reinterpret_cast<const QChar *>(out.data()), n);
}

} // namespace

QStringList Decoded::texts() const {
    QStringList out;
    for (const PrintedLine &line : lines) {
        out << line.text;
    }
    return out;
}

Decoded decodeEscPos(const QByteArray &bytes) {
    Decoded d;
    QByteArray text;
    bool bold = false;
    bool big = false;
    const auto at = [&](qsizetype i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : -1; };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == 0x0A) {
            d.lines.push_back({fromIbm850(text), bold, big});
            d.commands << QStringLiteral("line");
            text.clear();
        } else if (c == 0x1B && at(i + 1) == '@') {
            d.commands << QStringLiteral("init");
            bold = big = false;
            ++i;
        } else if (c == 0x1B && at(i + 1) == 't' && at(i + 2) >= 0) {
            d.commands << QStringLiteral("codepage %1").arg(at(i + 2));
            i += 2;
        } else if (c == 0x1B && at(i + 1) == 'p' && at(i + 4) >= 0) {
            d.commands << QStringLiteral("drawer %1 %2 %3").arg(at(i + 2)).arg(at(i + 3)).arg(at(i + 4));
            i += 4;
        } else if (c == 0x1B && at(i + 1) == 'E' && at(i + 2) >= 0) {
            bold = at(i + 2) & 1;
            d.commands << QStringLiteral("bold %1").arg(at(i + 2));
            i += 2;
        } else if (c == 0x1B && at(i + 1) == 'd' && at(i + 2) >= 0) {
            d.commands << QStringLiteral("feed %1").arg(at(i + 2));
            i += 2;
        } else if (c == 0x1D && at(i + 1) == '!' && at(i + 2) >= 0) {
            big = at(i + 2) == 0x11;
            d.commands << QStringLiteral("size %1").arg(at(i + 2));
            i += 2;
        } else if (c == 0x1D && at(i + 1) == 'V' && at(i + 2) >= 0) {
            d.commands << QStringLiteral("cut %1").arg(at(i + 2));
            i += 2;
        } else if (c == 0x10 && at(i + 1) == 0x04 && at(i + 2) >= 0) {
            d.commands << QStringLiteral("status %1").arg(at(i + 2));
            i += 2;
        } else if (c < 0x20 || c == 0x7F) {
            d.problems << QStringLiteral("control byte 0x%1 at %2").arg(c, 2, 16, QLatin1Char('0')).arg(i);
        } else {
            text += static_cast<char>(c);
        }
    }
    if (!text.isEmpty()) {
        d.problems << QStringLiteral("text never fed: %1").arg(fromIbm850(text));
    }
    return d;
}

} // namespace testing
