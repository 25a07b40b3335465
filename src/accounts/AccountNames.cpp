#include "accounts/AccountNames.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unicode/uchar.h>
#include <unicode/uspoof.h>
#include <unicode/ustring.h>

namespace accounts {

namespace {

static_assert(sizeof(UChar) == sizeof(QChar));

const UChar *utf16(const QString &text) {
    return reinterpret_cast<const UChar *>(text.utf16());
}

bool control(char32_t c) {
    return u_charType(static_cast<UChar32>(c)) == U_CONTROL_CHAR;
}

// What a reader does not see: controls, and the default-ignorable marks (zero-width spaces,
// joiners, soft hyphens, variation selectors) that render as nothing or next to nothing.
bool invisible(char32_t c) {
    return control(c) || u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_DEFAULT_IGNORABLE_CODE_POINT);
}

QString withoutInvisible(const QString &text) {
    QString out;
    for (const uint u : text.toUcs4()) {
        if (const char32_t c = u; !invisible(c)) {
            out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

// ICU fills a buffer it may first say is too small.
template <class Fill> std::optional<QString> icuString(qsizetype guess, Fill fill) {
    QString out(std::max<qsizetype>(guess, 16), Qt::Uninitialized);
    for (int attempt = 0; attempt < 2; ++attempt) {
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = fill(reinterpret_cast<UChar *>(out.data()), static_cast<int32_t>(out.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(length);
            continue;
        }
        if (U_FAILURE(status)) {
            return std::nullopt;
        }
        out.resize(length);
        return out;
    }
    return std::nullopt;
}

struct CheckerClose {
    void operator()(USpoofChecker *checker) const { uspoof_close(checker); }
};

// One checker for the program: the skeleton only reads it.
USpoofChecker *checker() {
    static const std::unique_ptr<USpoofChecker, CheckerClose> shared = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<USpoofChecker, CheckerClose> made(uspoof_open(&status));
        if (U_SUCCESS(status)) {
            uspoof_setChecks(made.get(), USPOOF_CONFUSABLE, &status);
        }
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return shared.get();
}

std::optional<QString> skeleton(const QString &text) {
    USpoofChecker *sc = checker();
    if (!sc) {
        return std::nullopt;
    }
    return icuString(text.size() * 2, [&](UChar *dest, int32_t capacity, UErrorCode *status) {
        return uspoof_getSkeleton(sc, 0, utf16(text), static_cast<int32_t>(text.size()), dest, capacity, status);
    });
}

std::optional<QString> folded(const QString &text) {
    return icuString(text.size() + 8, [&](UChar *dest, int32_t capacity, UErrorCode *status) {
        return u_strFoldCase(dest, capacity, utf16(text), static_cast<int32_t>(text.size()), U_FOLD_CASE_DEFAULT,
                             status);
    });
}

QString normalized(const QString &name) {
    return name.trimmed().normalized(QString::NormalizationForm_C).trimmed();
}

// What a name reads as: its skeleton as written and its skeleton with case folded. A confusable
// pair of letters may differ in case ("I" and "l"), and a pair in case may be confusable in
// another script ("JUАN" and "juan"), so either key matching is a collision.
struct Keys {
    QString plain, caseless;
    bool operator==(const Keys &) const = default;
};

std::optional<Keys> keys(const QString &name) {
    const QString visible = withoutInvisible(normalized(name));
    const std::optional<QString> lower = folded(visible);
    const std::optional<QString> plain = skeleton(visible);
    const std::optional<QString> caseless = lower ? skeleton(*lower) : std::nullopt;
    if (!plain || !caseless) {
        return std::nullopt;
    }
    return Keys{*plain, *caseless};
}

bool collide(const Keys &a, const Keys &b) {
    return a.plain == b.plain || a.caseless == b.caseless;
}

} // namespace

bool namesCollide(const QString &a, const QString &b) {
    const std::optional<Keys> ka = keys(a), kb = keys(b);
    return ka && kb ? collide(*ka, *kb) : normalized(a).compare(normalized(b), Qt::CaseInsensitive) == 0;
}

NameCheck checkNewAccountName(const QString &typed, const QStringList &existing) {
    NameCheck out{normalized(typed), {}};
    const QList<uint> letters = out.name.toUcs4();
    if (letters.isEmpty()) {
        out.problem = QStringLiteral("Ingrese un nombre de usuario y una contraseña.");
        return out;
    }
    if (letters.size() > kNameMaxLength) {
        out.problem = QStringLiteral("El nombre de usuario puede tener hasta %1 caracteres; el escrito tiene %2.")
                          .arg(kNameMaxLength)
                          .arg(letters.size());
        return out;
    }
    if (std::any_of(letters.cbegin(), letters.cend(), [](uint c) { return control(c); })) {
        out.problem = QStringLiteral("El nombre de usuario no puede tener caracteres de control.");
        return out;
    }
    const std::optional<Keys> mine = keys(out.name);
    if (!mine) {
        out.problem = QStringLiteral("No se pudo comparar el nombre %1 con los de las otras cuentas.").arg(out.name);
        return out;
    }
    for (const QString &other : existing) {
        if (normalized(other) == out.name) {
            out.problem = QStringLiteral("Ya existe una cuenta con el nombre %1.").arg(out.name);
            return out;
        }
    }
    for (const QString &other : existing) {
        const std::optional<Keys> theirs = keys(other);
        if (!theirs || collide(*mine, *theirs)) {
            out.problem =
                QStringLiteral("El nombre %1 ya está tomado: se confunde con el de la cuenta %2.").arg(out.name, other);
            return out;
        }
    }
    return out;
}

} // namespace accounts
