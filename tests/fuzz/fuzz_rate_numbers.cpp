// The rate editor's boxes and the number texts under hostile input and three locales. Input:
// a locale byte, a double (the next eight bytes), then the minutes and pesos texts split by a
// zero byte.
//  - an accepted rate is in range, and the update statement binds exactly the checked numbers;
//  - the display text of any finite double reads back as the double within the 15
//    significant digits it shows;
//  - the engine text of any double in the rate range reads back as exactly that double.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "data/DbError.h"
#include "data/JetTranslator.h"
#include "data/NumberText.h"
#include "data/Statements.h"
#include "rate/RateInput.h"

#include <QVariant>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The Tarifa update with these numbers: both are bound as written, a whole number as an
// integer and any other as the same double.
void checkUpdate(qint16 minutes, double pesos) {
    data::TranslatedStatement t;
    try {
        t = data::translateJet(statements::tarifaUpdate(QString::number(minutes), numtext::engineNumber(pesos)));
    } catch (const data::DbError &) {
        FUZZ_CHECK(false && "a checked rate must always translate");
    }
    FUZZ_CHECK(t.values.size() == 2);
    FUZZ_CHECK(t.values[0].typeId() == QMetaType::LongLong && t.values[0].toLongLong() == minutes);
    if (t.values[1].typeId() == QMetaType::LongLong) {
        FUZZ_CHECK(static_cast<double>(t.values[1].toLongLong()) == pesos);
    } else {
        FUZZ_CHECK(t.values[1].typeId() == QMetaType::Double && t.values[1].toDouble() == pesos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size) {
    FuzzInput in(data, size);
    useLocale(in.take<unsigned char>());
    const double x = in.take<double>();
    const QList<QByteArray> texts = in.rest().split('\0');

    const rate::RateCheck check =
        rate::checkNewRate(QString::fromUtf8(texts.value(0)), QString::fromUtf8(texts.value(1)));
    FUZZ_CHECK(check.rate.has_value() != !check.problem.isEmpty());
    if (check.rate) {
        FUZZ_CHECK(check.rate->minutes >= 1 && check.rate->minutes <= 1365);
        // Whole cents: at most two decimals are ever taken.
        FUZZ_CHECK(std::fabs(check.rate->pesos * 100 - std::round(check.rate->pesos * 100)) < 1e-3);
        FUZZ_CHECK(check.rate->pesos >= 0.0 && check.rate->pesos < rate::kMaxPesos);
        FUZZ_CHECK(!std::signbit(check.rate->pesos));
        checkUpdate(check.rate->minutes, check.rate->pesos);
    }

    if (!std::isfinite(x)) {
        return 0;
    }
    char rounded[64];
    std::snprintf(rounded, sizeof rounded, "%.15g", x);
    const double expected = std::strtod(rounded, nullptr);
    const std::optional<double> shown = numtext::fromText(numtext::toText(x));
    if (std::isfinite(expected)) {
        // Within the 15th digit: a tie may be rounded either way.
        FUZZ_CHECK(shown.has_value() && std::fabs(*shown - x) <= std::fabs(x) * 1e-14);
    } else {
        FUZZ_CHECK(!shown.has_value()); // rounded past the largest double: not a number to read
    }

    const double pesos = std::fabs(x);
    if (pesos < rate::kMaxPesos) {
        bool ok = false;
        FUZZ_CHECK(numtext::engineNumber(pesos).toDouble(&ok) == pesos && ok);
        checkUpdate(0, pesos);
    }
    return 0;
}
