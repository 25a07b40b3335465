#include "data/JournalBooks.h"

#include "data/Database.h"
#include "data/NumberText.h"
#include "data/Seal.h"
#include "data/Statements.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QVarLengthArray>
#include <algorithm>
#include <charconv>
#include <optional>
#include <sodium.h>
#include <unordered_map>

namespace journal {

namespace {

const QString kHuella = QStringLiteral("; Huella=");
const QString kApertura = QStringLiteral("Apertura=");
constexpr qsizetype kFingerprintSize = 64;

QString sha256Hex(const QByteArray &bytes) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char *>(bytes.constData()),
                       static_cast<unsigned long long>(bytes.size()));
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex());
}

bool isHex(QStringView text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
}

// What the starting entry escapes inside its lists.
QString escaped(const QString &text) {
    static const QString special = QStringLiteral("%;,:=@");
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || special.contains(c)) {
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += c;
        }
    }
    return out;
}

QString unescaped(const QString &text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bool ok = false;
        const ushort code = i + 2 < text.size() && text[i] == u'%' ? text.mid(i + 1, 2).toUShort(&ok, 16) : 0;
        if (ok) {
            out += QChar(code);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// "Name=value; ..." of the starting entry, whose values hold no "; ".
QMap<QString, QString> fields(const QString &detalle) {
    QMap<QString, QString> out;
    for (const QString &part : detalle.split(QStringLiteral("; "))) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals > 0) {
            out.insert(part.left(equals), part.mid(equals + 1));
        }
    }
    return out;
}

struct Rate {
    bool known = false;
    QString minutes; // as a number's text, "30"
    QString pesos;   // as the engine reads it, "10"
    qint64 entry = 0;
    QString text(bool spanish) const {
        return known ? QStringLiteral("%1 %2 %3")
                           .arg(minutes, spanish ? QStringLiteral("minutos por") : QStringLiteral("minutes for"), pesos)
                     : (spanish ? QStringLiteral("ninguna") : QStringLiteral("none"));
    }
};

// "30 minutos por 10", as the rate's entries write it.
Rate readRate(const QString &text) {
    Rate r;
    const qsizetype by = text.indexOf(QStringLiteral(" minutos por "));
    if (by > 0) {
        bool minutesOk = false;
        bool pesosOk = false;
        const qlonglong minutes = text.left(by).trimmed().toLongLong(&minutesOk);
        const double pesos = text.mid(by + 13).trimmed().toDouble(&pesosOk);
        if (minutesOk && pesosOk) {
            r.known = true;
            r.minutes = QString::number(minutes);
            r.pesos = numtext::engineNumber(pesos);
        }
    }
    return r;
}

// A rental's values out of its Detalle, read from the end: the name may hold anything.
struct RentalFields {
    QString puesto, modo, usuario, fecha, hora, tiempo, importe;
};

RentalFields readRental(const QString &detalle) {
    RentalFields f;
    QString rest = detalle;
    const auto cut = [&rest](const QString &marker, QString &into) {
        const qsizetype at = rest.lastIndexOf(marker);
        if (at >= 0) {
            into = rest.mid(at + marker.size());
            rest.truncate(at);
        }
    };
    cut(QStringLiteral("; Importe="), f.importe);
    cut(QStringLiteral("; Tiempo="), f.tiempo);
    cut(QStringLiteral("; Hora="), f.hora);
    cut(QStringLiteral("; Fecha="), f.fecha);
    cut(QStringLiteral("; Usuario="), f.usuario);
    cut(QStringLiteral("; Modo="), f.modo);
    if (rest.startsWith(QStringLiteral("Puesto="))) {
        f.puesto = rest.mid(7);
    }
    return f;
}

struct Slot {
    qint64 first = 0;
    qint64 count = 0;
};

// What an open station charges by, as its opening entry gives it ("Modo=...; [Bloques=...; ]
// Tarifa=M minutos por P") and as its row holds it.
struct Shape {
    QString modo, bloques, minutos, pesos;
};

Shape shapeOfEntry(const QString &detalle) {
    const QMap<QString, QString> f = fields(detalle);
    const Rate rate = readRate(f.value(QStringLiteral("Tarifa")));
    return {f.value(QStringLiteral("Modo")), f.value(QStringLiteral("Bloques")), rate.minutes, rate.pesos};
}

// A number as the engine reads it, or the text a hand edit left.
QString numberAt(const data::Database::RowView &row, int column) {
    return row.isNumber(column) ? numtext::engineNumber(row.real(column)) : QString::fromUtf8(row.text(column));
}

// From the columns Modo, Minutos, Pesos and Bloques at first, first + 1, ...
Shape shapeOfRow(const data::Database::RowView &row, int first) {
    Shape s{QString::fromUtf8(row.text(first)), QString(), numberAt(row, first + 1), numberAt(row, first + 2)};
    if (s.modo == QLatin1String("Prepago")) {
        s.bloques = numberAt(row, first + 3);
    }
    return s;
}

// An opening in the journal: opened less ended. Rows set aside are counted from PuestosApartados.
struct Opening {
    int open = 0;
    qint64 entry = 0;           // the entry that opened it last
    std::optional<Shape> start; // its values from "Libros iniciados", when it opened before the journal
    QString name;               // "Puesto 3 (Apertura=...)", when it opened before the journal
    QString blocks;             // a prepaid rental's blocks since blocks were added to it
};

struct Account {
    QString fingerprint; // empty: deleted
    qint64 entry = 0;
    // Whether its password is one the administrator set, which its owner must replace at the
    // next sign-in (listed in ClavesProvisorias): 1 yes, 0 no, -1 not known (an early start).
    int provisional = -1;
};

struct UnmatchedRow {
    qint64 rowid = 0;
    QString detail;
    QString when; // "yyyy-MM-dd HH:mm:ss"
};

struct UnmatchedEntry {
    qint64 secuencia = 0;
    qint64 count = 0;
    QString detail;
};

QString rowWhen(const RentalFields &f) {
    return f.fecha + u' ' + f.hora;
}

QString digestOf(const QList<UnmatchedRow> &rows) {
    std::vector<QByteArray> hashes;
    hashes.reserve(static_cast<size_t>(rows.size()));
    for (const UnmatchedRow &r : rows) {
        hashes.push_back(QByteArray::fromHex(sha256Hex(r.detail.toUtf8()).toLatin1()));
    }
    std::sort(hashes.begin(), hashes.end());
    QByteArray all;
    for (const QByteArray &h : hashes) {
        all += h;
    }
    return sha256Hex(all);
}

} // namespace

QString Difference::english() const {
    return QStringLiteral("books differ from the journal at %1 %2: %3").arg(table, row, what);
}

QString Difference::spanish() const {
    return QStringLiteral("los libros no coinciden con el registro en %1, %2: %3").arg(table, fila, que);
}

QString rentalDetail(const QString &puesto, const QString &modo, const QString &usuario, const QString &fecha,
                     const QString &hora, const QString &horas, const QString &minutos, const QString &importe) {
    return QStringLiteral("Puesto=%1; Modo=%2; Usuario=%3; Fecha=%4; Hora=%5; Tiempo=%6:%7; Importe=%8")
        .arg(puesto, modo, usuario, fecha, hora, horas, minutos, importe);
}

QString operationDetail(const QString &fecha, const QString &hora, const QString &puesto, const QString &tipo,
                        const QString &usuario, const QString &autorizo, const QString &minutos, const QString &importe,
                        const QString &motivo) {
    return QStringLiteral("Fecha=%1; Hora=%2; Puesto=%3; Tipo=%4; Usuario=%5; Autorizó=%6; Minutos=%7; Importe=%8; "
                          "Motivo=%9")
        .arg(fecha, hora, puesto, tipo, usuario, autorizo, minutos, importe, motivo);
}

QString accountFingerprint(const QString &storedHash) {
    return sha256Hex(storedHash.toUtf8());
}

QString fingerprintSuffix(const QString &storedHash) {
    return kHuella + accountFingerprint(storedHash);
}

QString openingSuffix(const QString &apertura) {
    return QStringLiteral("; ") + kApertura + apertura;
}

// The UTF-8 names of the events the tally follows.
struct Events {
    QByteArray rental = event::kRentalRecorded.toUtf8();
    QByteArray operation = event::kOperationRecorded.toUtf8();
    QByteArray opened = event::kStationOpened.toUtf8();
    QByteArray closed = event::kStationClosed.toUtf8();
    QByteArray prepaidEnded = event::kPrepaidEnded.toUtf8();
    QByteArray setAside = event::kStationSetAside.toUtf8();
    QByteArray cancelled = event::kRentalCancelled.toUtf8();
    QByteArray blocksAdded = event::kBlocksAdded.toUtf8();
    QByteArray moved = event::kStationMoved.toUtf8();
    QByteArray added = event::kAccountAdded.toUtf8();
    QByteArray changed = event::kPasswordChanged.toUtf8();
    QByteArray deleted = event::kAccountDeleted.toUtf8();
    QByteArray rate = event::kRateChanged.toUtf8();
    QByteArray started = event::kBooksStarted.toUtf8();
};

const Events &events() {
    static const Events names;
    return names;
}

struct BooksTally::State {
    unsigned char hashKey[crypto_shorthash_KEYBYTES];
    std::unordered_map<quint64, Slot> rentals;    // by the key of the Detalle
    std::unordered_map<quint64, Slot> operations; // the same for Operaciones
    qint64 baseline = 0;
    qint64 secondBaseline = 0;
    qint64 previousRows = 0;
    QString hasta;
    QString digest;
    QString admin;
    Rate rate;
    QHash<QString, Account> accounts;
    std::unordered_map<quint64, Opening> open; // by the key of "puesto@apertura"
    // "Puesto apartado" entries by the key of their Detalle: the entries, in order.
    std::unordered_map<quint64, std::vector<qint64>> asides;

    quint64 keyOf(QByteArrayView bytes) const {
        unsigned char out[crypto_shorthash_BYTES];
        crypto_shorthash(out, reinterpret_cast<const unsigned char *>(bytes.data()),
                         static_cast<unsigned long long>(bytes.size()), hashKey);
        quint64 key = 0;
        std::memcpy(&key, out, sizeof key);
        return key;
    }

    // The opening at puesto, or at whichever station (1 to 20) has it when puesto is 0.
    std::unordered_map<quint64, Opening>::iterator findOpening(int puesto, QByteArrayView opening) {
        for (int p = puesto > 0 ? puesto : 1; !opening.isNull() && p <= (puesto > 0 ? puesto : 20); ++p) {
            const auto found = open.find(openingKey(QByteArray::number(p), opening));
            if (found != open.end()) {
                return found;
            }
        }
        return open.end();
    }
    quint64 openingKey(QByteArrayView puesto, QByteArrayView apertura) const {
        QVarLengthArray<char, 64> joined; // "puesto@apertura", on the stack for any sound row
        joined.append(puesto.data(), puesto.size());
        joined.append('@');
        joined.append(apertura.data(), apertura.size());
        return keyOf(QByteArrayView(joined.data(), joined.size()));
    }

    void startFrom(qint64 secuencia, const QString &detalle) {
        const QMap<QString, QString> f = fields(detalle);
        baseline = secuencia;
        previousRows = f.value(QStringLiteral("Alquileres previos")).toLongLong();
        hasta = f.value(QStringLiteral("Hasta"));
        digest = f.value(QStringLiteral("Resumen"));
        rate = readRate(f.value(QStringLiteral("Tarifa")));
        rate.entry = secuencia;
        admin = unescaped(f.value(QStringLiteral("Administrador")));
        accounts.clear();
        const bool provisionalKnown = f.contains(QStringLiteral("Provisorias"));
        QSet<QString> provisional;
        for (const QString &item : f.value(QStringLiteral("Provisorias")).split(u',', Qt::SkipEmptyParts)) {
            provisional.insert(unescaped(item));
        }
        for (const QString &item : f.value(QStringLiteral("Cuentas")).split(u',', Qt::SkipEmptyParts)) {
            const qsizetype colon = item.lastIndexOf(u':');
            const QString name = unescaped(item.left(colon));
            accounts.insert(name, {item.mid(colon + 1), secuencia,
                                   provisionalKnown ? static_cast<int>(provisional.contains(name)) : -1});
        }
        open.clear();
        // "<puesto>@<apertura>[@<modo>@<minutos>@<pesos>@<bloques>]"
        for (const QString &item : f.value(QStringLiteral("Abiertos")).split(u',', Qt::SkipEmptyParts)) {
            const QStringList part = item.split(u'@');
            Opening &o = open[openingKey(unescaped(part.value(0)).toUtf8(), unescaped(part.value(1)).toUtf8())];
            ++o.open;
            o.entry = secuencia;
            o.name = QStringLiteral("Puesto %1 (Apertura=%2)").arg(unescaped(part.value(0)), unescaped(part.value(1)));
            if (part.size() == 6) {
                o.start = Shape{unescaped(part[2]), unescaped(part[5]), unescaped(part[3]), unescaped(part[4])};
            }
        }
    }

    // "Cuenta=<name>[; propia | ; por el administrador]; Huella=<fingerprint>"
    void seeAccount(qint64 secuencia, const QString &detalle, bool passwordChanged, bool deleted) {
        if (!detalle.startsWith(QStringLiteral("Cuenta="))) {
            return;
        }
        QString name = detalle.mid(7);
        QString print = QStringLiteral("?"); // an entry without its fingerprint vouches for no hash
        const qsizetype at = name.size() - kHuella.size() - kFingerprintSize;
        if (at >= 0 && QStringView(name).mid(at).startsWith(kHuella) &&
            isHex(QStringView(name).mid(at + kHuella.size()))) {
            print = name.mid(at + kHuella.size());
            name.truncate(at);
        }
        // A new account's password is the administrator's, as is one the administrator set.
        int provisional = passwordChanged ? -1 : 1;
        for (const auto &[how, set] : {std::pair{"; propia", 0}, std::pair{"; por el administrador", 1}}) {
            if (passwordChanged && name.endsWith(QLatin1String(how))) {
                name.chop(static_cast<qsizetype>(std::strlen(how)));
                provisional = set;
                break;
            }
        }
        accounts.insert(name, {deleted ? QString() : print, secuencia, provisional});
    }
};

QByteArrayView BooksTally::openingOf(QByteArrayView detalle) {
    // A close's price breakdown follows its opening, and may name a period anything.
    if (const qsizetype breakdown = detalle.indexOf(QByteArrayView("; Desglose=")); breakdown >= 0) {
        detalle = detalle.first(breakdown);
    }
    const qsizetype at = detalle.lastIndexOf(QByteArrayView("Apertura="));
    if (at < 0) {
        return {};
    }
    const QByteArrayView rest = detalle.sliced(at + 9);
    const qsizetype end = rest.indexOf(';');
    return end < 0 ? rest : rest.first(end);
}

BooksTally::BooksTally() : d_(std::make_unique<State>()) {
    if (sodium_init() < 0) {
        throw data::DbError(QStringLiteral("No se pudo iniciar libsodium"));
    }
    // A key of its own each time: nobody can make two rentals meet in the table on purpose.
    crypto_shorthash_keygen(d_->hashKey);
}

BooksTally::~BooksTally() = default;

bool BooksTally::started() const {
    return d_->baseline > 0;
}

void BooksTally::see(qint64 secuencia, QByteArrayView evento, int puesto, QByteArrayView detalle) {
    State &d = *d_;
    const Events &is = events();
    if (evento == is.rental || evento == is.operation) {
        Slot &slot = (evento == is.rental ? d.rentals : d.operations)[d.keyOf(detalle)];
        if (slot.count++ == 0) {
            slot.first = secuencia;
        }
    } else if (evento == is.opened) {
        const QByteArrayView opening = openingOf(detalle);
        if (!opening.isNull()) {
            char digits[16];
            const char *end = std::to_chars(digits, digits + sizeof digits, puesto).ptr;
            Opening &o = d.open[d.openingKey(QByteArrayView(digits, end - digits), opening)];
            ++o.open;
            o.entry = secuencia;
        }
    } else if (evento == is.closed || evento == is.prepaidEnded || evento == is.cancelled) {
        const QByteArrayView opening = openingOf(detalle);
        // An entry without its station ends the opening at whichever station has it.
        if (const auto found = d.findOpening(puesto, opening); found != d.open.end()) {
            if (--found->second.open <= 0) {
                d.open.erase(found);
            }
        }
    } else if (evento == is.blocksAdded) {
        if (const auto found = d.findOpening(puesto, openingOf(detalle)); found != d.open.end()) {
            found->second.blocks = fields(QString::fromUtf8(detalle)).value(QStringLiteral("Bloques"));
        }
    } else if (evento == is.moved) {
        // The rental goes on at the entry's station, from the one its Detalle names.
        const QString from = fields(QString::fromUtf8(detalle)).value(QStringLiteral("Desde"));
        const QByteArrayView opening = openingOf(detalle);
        const auto found = d.findOpening(from.section(u' ', 1).toInt(), opening);
        if (found != d.open.end() && puesto > 0) {
            Opening o = found->second;
            if (--found->second.open <= 0) {
                d.open.erase(found);
            }
            const QByteArray to = QByteArray::number(puesto);
            Opening &there = d.open[d.openingKey(to, opening)];
            o.open = there.open + 1;
            there = o;
        }
    } else if (evento == is.setAside) {
        // Its Detalle holds values of a row no rental can have left, in any shape: it is matched
        // whole against the row kept in PuestosApartados, never taken apart.
        d.asides[d.keyOf(detalle)].push_back(secuencia);
    } else if (evento == is.added || evento == is.changed || evento == is.deleted) {
        d.seeAccount(secuencia, QString::fromUtf8(detalle), evento == is.changed, evento == is.deleted);
    } else if (evento == is.rate) {
        const QString text = QString::fromUtf8(detalle);
        const qsizetype at = text.lastIndexOf(QStringLiteral("ahora: "));
        Rate rate = readRate(at < 0 ? QString() : text.mid(at + 7));
        rate.entry = secuencia;
        d.rate = rate;
    } else if (evento == is.started) {
        if (d.baseline == 0) {
            d.startFrom(secuencia, QString::fromUtf8(detalle));
        } else if (d.secondBaseline == 0) {
            d.secondBaseline = secuencia;
        }
    }
}

namespace {

// The rentals of the books against the tally's: rows and entries left over, and the pairs that
// name the same rental (station, date, time) with other values.
struct Matching {
    QList<UnmatchedRow> rows;
    QList<UnmatchedEntry> entries;
    QList<std::pair<UnmatchedRow, UnmatchedEntry>> pairs;
    qint64 rentals = 0;
};

// The Detalle its entry would carry, in UTF-8, from a row of Alquiler (rowid first).
QByteArray detailOfRow(const data::Database::RowView &row) {
    const auto number = [&row](int column) {
        return row.isNumber(column) ? numtext::engineNumber(row.real(column)).toLatin1()
                                    : row.text(column).toByteArray();
    };
    QByteArray horas = row.text(6).toByteArray();
    QByteArray minutos;
    const QList<QByteArray> parts = horas.split(':');
    if (parts.size() == 3) {
        bool hoursOk = false;
        bool minutesOk = false;
        const qlonglong h = parts[0].toLongLong(&hoursOk);
        const qlonglong m = parts[1].toLongLong(&minutesOk);
        if (hoursOk && minutesOk) {
            horas = QByteArray::number(h);
            // The journal keeps whole minutes, as the program records them: seconds are an edit.
            minutos = QByteArray::number(m) + (parts[2] == "00" ? QByteArray() : ':' + parts[2]);
        }
    }
    QByteArray out;
    out.reserve(128);
    out.append("Puesto=").append(number(1)).append("; Modo=").append(row.text(2)).append("; Usuario=");
    out.append(row.text(3)).append("; Fecha=").append(row.text(4)).append("; Hora=").append(row.text(5));
    out.append("; Tiempo=").append(horas).append(':').append(minutos).append("; Importe=").append(number(7));
    return out;
}

Matching match(data::Database &db, std::unordered_map<quint64, Slot> &slots,
               const std::function<quint64(QByteArrayView)> &keyOf, const std::function<bool(qint64)> &progress) {
    Matching m;
    bool stopped = false;
    db.forEachRawRow(statements::alquilerBooks(), [&](const data::Database::RowView &row) {
        const QByteArray detail = detailOfRow(row);
        auto found = slots.find(keyOf(detail));
        if (found != slots.end() && found->second.count > 0) {
            --found->second.count;
        } else {
            QString text = QString::fromUtf8(detail);
            const RentalFields f = readRental(text);
            m.rows.push_back({row.integer(0), std::move(text), rowWhen(f)});
        }
        ++m.rentals;
        stopped = progress && m.rentals % 4096 == 0 && !progress(m.rentals);
        return !stopped;
    });
    if (stopped) {
        throw data::DbError(QStringLiteral("la verificación se interrumpió"));
    }
    for (const auto &[key, slot] : slots) {
        if (slot.count > 0) {
            UnmatchedEntry e{slot.first, slot.count, {}};
            db.forEachRow(statements::registroDetalle(slot.first), [&e](const QVector<QVariant> &v) {
                e.detail = v.value(1).toString();
                return false;
            });
            m.entries.push_back(e);
        }
    }
    std::sort(m.entries.begin(), m.entries.end(),
              [](const UnmatchedEntry &a, const UnmatchedEntry &b) { return a.secuencia < b.secuencia; });
    std::sort(m.rows.begin(), m.rows.end(),
              [](const UnmatchedRow &a, const UnmatchedRow &b) { return a.rowid < b.rowid; });
    // A rental edited in place leaves its row and its entry over, at the same station and moment.
    const auto moment = [](const QString &detail) {
        const RentalFields f = readRental(detail);
        return f.puesto + u'|' + f.fecha + u'|' + f.hora;
    };
    QHash<QString, QList<qsizetype>> rowsAt;
    for (qsizetype i = 0; i < m.rows.size(); ++i) {
        rowsAt[moment(m.rows[i].detail)].push_back(i);
    }
    QList<bool> taken(m.rows.size(), false);
    QList<UnmatchedEntry> alone;
    for (const UnmatchedEntry &e : std::as_const(m.entries)) {
        QList<qsizetype> &candidates = rowsAt[moment(e.detail)];
        if (e.count == 1 && !candidates.isEmpty()) {
            taken[candidates.front()] = true;
            m.pairs.push_back({m.rows[candidates.front()], e});
            candidates.pop_front();
        } else {
            alone.push_back(e);
        }
    }
    m.entries = alone;
    QList<UnmatchedRow> left;
    for (qsizetype i = 0; i < m.rows.size(); ++i) {
        if (!taken[i]) {
            left.push_back(std::move(m.rows[i]));
        }
    }
    m.rows = left;
    return m;
}

// The rows of Alquiler from before the journal: left over and dated up to hasta.
QList<UnmatchedRow> previousRows(QList<UnmatchedRow> &rows, const QString &hasta) {
    QList<UnmatchedRow> before;
    for (qsizetype i = 0; i < rows.size();) {
        if (rows[i].when <= hasta) {
            before.push_back(rows.takeAt(i));
        } else {
            ++i;
        }
    }
    return before;
}

// Collects differences up to a limit, counting the rest.
struct Findings {
    QList<Difference> list;
    qint64 more = 0;
    int limit = 100;
    void add(Difference d) {
        if (list.size() < limit) {
            list.push_back(std::move(d));
        } else {
            ++more;
        }
    }
};

QString entryText(qint64 n, bool spanish) {
    return (spanish ? QStringLiteral("entrada %1") : QStringLiteral("entry %1")).arg(n);
}

void compareRentals(Findings &out, Matching &m, const QString &hasta, qint64 previousCount,
                    const QString &previousDigest, qint64 baseline) {
    for (const auto &[row, entry] : m.pairs) {
        const RentalFields now = readRental(row.detail);
        const RentalFields then = readRental(entry.detail);
        QStringList what;
        QStringList que;
        const std::pair<const char *, std::pair<QString, QString>> columns[] = {
            {"Modo", {now.modo, then.modo}},
            {"Usuario", {now.usuario, then.usuario}},
            {"Tiempo", {now.tiempo, then.tiempo}},
            {"Importe", {now.importe, then.importe}}};
        for (const auto &[column, values] : columns) {
            if (values.first != values.second) {
                what << QStringLiteral("%1 %2, the journal says %3")
                            .arg(QLatin1String(column), values.first, values.second);
                que << QStringLiteral("%1 %2, el registro dice %3")
                           .arg(QLatin1String(column), values.first, values.second);
            }
        }
        out.add({QStringLiteral("Alquiler"), QStringLiteral("row %1").arg(row.rowid),
                 QStringLiteral("fila %1").arg(row.rowid),
                 what.join(QStringLiteral("; ")) + QStringLiteral(" (%1)").arg(entryText(entry.secuencia, false)),
                 que.join(QStringLiteral("; ")) + QStringLiteral(" (%1)").arg(entryText(entry.secuencia, true))});
    }
    for (const UnmatchedEntry &e : std::as_const(m.entries)) {
        const QString more = e.count > 1 ? QStringLiteral(" x%1").arg(e.count) : QString();
        out.add({QStringLiteral("Alquiler"), entryText(e.secuencia, false), entryText(e.secuencia, true),
                 QStringLiteral("the rental it records is not in the books%1 (%2)").arg(more, e.detail),
                 QStringLiteral("el alquiler que anota no está en los libros%1 (%2)").arg(more, e.detail)});
    }
    QList<UnmatchedRow> before = previousRows(m.rows, hasta);
    if (before.size() != previousCount || (previousCount > 0 && digestOf(before) != previousDigest)) {
        if (previousCount == 0) {
            m.rows = before + m.rows; // none was there: each is a row the journal does not know
            std::sort(m.rows.begin(), m.rows.end(),
                      [](const UnmatchedRow &a, const UnmatchedRow &b) { return a.rowid < b.rowid; });
        } else {
            out.add({QStringLiteral("Alquiler"), QStringLiteral("rows dated up to %1").arg(hasta),
                     QStringLiteral("filas con fecha hasta %1").arg(hasta),
                     QStringLiteral("the rentals from before the journal no longer match its start (%1: %2 rows; "
                                    "now %3)")
                         .arg(entryText(baseline, false))
                         .arg(previousCount)
                         .arg(before.size()),
                     QStringLiteral("los alquileres anteriores al registro ya no coinciden con su inicio (%1: %2 "
                                    "filas; ahora %3)")
                         .arg(entryText(baseline, true))
                         .arg(previousCount)
                         .arg(before.size())});
        }
    }
    for (const UnmatchedRow &r : std::as_const(m.rows)) {
        out.add({QStringLiteral("Alquiler"), QStringLiteral("row %1").arg(r.rowid),
                 QStringLiteral("fila %1").arg(r.rowid),
                 QStringLiteral("no journal entry records this rental (%1)").arg(r.detail),
                 QStringLiteral("ninguna entrada del registro anota este alquiler (%1)").arg(r.detail)});
    }
}

// Every row of Operaciones against the entries that record one; the table came with its entries,
// so nothing predates them.
void compareOperations(Findings &out, data::Database &db, std::unordered_map<quint64, Slot> &journaled,
                       const std::function<quint64(QByteArrayView)> &keyOf) {
    bool present = false;
    db.forEachRow(statements::operacionesPresent(), [&present](const QVector<QVariant> &row) {
        present = row.value(0).toInt() > 0;
        return false;
    });
    if (present) {
        db.forEachRawRow(statements::operacionesBooks(), [&](const data::Database::RowView &row) {
            const QString detail = operationDetail(QString::fromUtf8(row.text(1)), QString::fromUtf8(row.text(2)),
                                                   numberAt(row, 3), QString::fromUtf8(row.text(4)),
                                                   QString::fromUtf8(row.text(5)), QString::fromUtf8(row.text(6)),
                                                   numberAt(row, 7), numberAt(row, 8), QString::fromUtf8(row.text(9)));
            const auto found = journaled.find(keyOf(detail.toUtf8()));
            if (found != journaled.end() && found->second.count > 0) {
                --found->second.count;
            } else {
                out.add({QStringLiteral("Operaciones"), QStringLiteral("row %1").arg(row.integer(0)),
                         QStringLiteral("fila %1").arg(row.integer(0)),
                         QStringLiteral("no journal entry records this operation (%1)").arg(detail),
                         QStringLiteral("ninguna entrada del registro anota esta operación (%1)").arg(detail)});
            }
            return true;
        });
    }
    std::vector<std::pair<qint64, qint64>> left; // the first entry, how many
    for (const auto &[key, slot] : journaled) {
        if (slot.count > 0) {
            left.emplace_back(slot.first, slot.count);
        }
    }
    std::sort(left.begin(), left.end());
    for (const auto &[entry, count] : left) {
        const QString times = count > 1 ? QStringLiteral(" x%1").arg(count) : QString();
        out.add({QStringLiteral("Operaciones"), entryText(entry, false), entryText(entry, true),
                 QStringLiteral("the operation it records is not in the books%1").arg(times),
                 QStringLiteral("la operación que anota no está en los libros%1").arg(times)});
    }
}

void compareRate(Findings &out, data::Database &db, const Rate &journaled) {
    qint64 rows = 0;
    db.forEachRow(statements::tarifaBooks(), [&](const QVector<QVariant> &row) {
        ++rows;
        Rate stored;
        bool minutesOk = false;
        bool pesosOk = false;
        const double minutes = row.value(1).toDouble(&minutesOk);
        const double pesos = row.value(2).toDouble(&pesosOk);
        stored.known = true;
        stored.minutes = minutesOk ? numtext::engineNumber(minutes) : row.value(1).toString();
        stored.pesos = pesosOk ? numtext::engineNumber(pesos) : row.value(2).toString();
        if (!journaled.known || stored.minutes != journaled.minutes || stored.pesos != journaled.pesos) {
            const qint64 rowid = row.value(0).toLongLong();
            out.add({QStringLiteral("Tarifa"), QStringLiteral("row %1").arg(rowid),
                     QStringLiteral("fila %1").arg(rowid),
                     QStringLiteral("%1, the journal says %2 (%3)")
                         .arg(stored.text(false), journaled.text(false), entryText(journaled.entry, false)),
                     QStringLiteral("%1, el registro dice %2 (%3)")
                         .arg(stored.text(true), journaled.text(true), entryText(journaled.entry, true))});
        }
        return true;
    });
    if (rows == 0 && journaled.known) {
        out.add({QStringLiteral("Tarifa"), QStringLiteral("(no row)"), QStringLiteral("(sin filas)"),
                 QStringLiteral("no rate, the journal says %1 (%2)")
                     .arg(journaled.text(false), entryText(journaled.entry, false)),
                 QStringLiteral("no hay tarifa, el registro dice %1 (%2)")
                     .arg(journaled.text(true), entryText(journaled.entry, true))});
    }
}

void compareAccounts(Findings &out, data::Database &db, const QHash<QString, Account> &journaled,
                     const QString &admin) {
    QSet<QString> provisional; // ClavesProvisorias
    db.forEachRow(statements::clavesProvisoriasBooks(), [&provisional](const QVector<QVariant> &row) {
        provisional.insert(row.value(1).toString());
        return true;
    });
    const auto addProvisional = [&out](const QString &name, const QString &what, const QString &que) {
        out.add({QStringLiteral("ClavesProvisorias"), name, QStringLiteral("cuenta ") + name, what, que});
    };
    for (const QString &name : std::as_const(provisional)) {
        const auto found = journaled.constFind(name);
        if (found == journaled.constEnd() || found->fingerprint.isEmpty()) {
            addProvisional(name, QStringLiteral("no such account in the journal"),
                           QStringLiteral("el registro no tiene esa cuenta"));
        } else if (found->provisional == 0) {
            addProvisional(name,
                           QStringLiteral("listed, the journal says its owner chose the password (%1)")
                               .arg(entryText(found->entry, false)),
                           QStringLiteral("está en la lista, y el registro dice que su dueño eligió la contraseña (%1)")
                               .arg(entryText(found->entry, true)));
        }
    }
    for (auto it = journaled.constBegin(); it != journaled.constEnd(); ++it) {
        if (!it->fingerprint.isEmpty() && it->provisional == 1 && !provisional.contains(it.key())) {
            addProvisional(it.key(),
                           QStringLiteral("missing, the journal says its owner must choose a password at the next "
                                          "sign-in (%1)")
                               .arg(entryText(it->entry, false)),
                           QStringLiteral("falta, y el registro dice que su dueño debe elegir una contraseña en el "
                                          "próximo ingreso (%1)")
                               .arg(entryText(it->entry, true)));
        }
    }
    QHash<QString, int> seen;
    const auto add = [&out](const QString &name, const QString &what, const QString &que) {
        out.add({QStringLiteral("Usuarios"), name, QStringLiteral("cuenta ") + name, what, que});
    };
    db.forEachRow(statements::usuariosBooks(), [&](const QVector<QVariant> &row) {
        const QString name = row.value(2).toString();
        const bool isAdmin = row.value(1).toString() == QLatin1String("0");
        if (++seen[name] > 1) {
            add(name, QStringLiteral("a second row for this account"),
                QStringLiteral("una segunda fila para esta cuenta"));
            return true;
        }
        if (!admin.isEmpty()) {
            if (isAdmin && name != admin) {
                add(name,
                    QStringLiteral("codigo 0 makes it the administrator, the journal's administrator is %1").arg(admin),
                    QStringLiteral("el codigo 0 la hace administradora, y el administrador del registro es %1")
                        .arg(admin));
            }
            if (name == admin && !isAdmin) {
                add(name, QStringLiteral("it is no longer the administrator (codigo %1)").arg(row.value(1).toString()),
                    QStringLiteral("ya no es la administradora (codigo %1)").arg(row.value(1).toString()));
            }
        }
        const auto found = journaled.constFind(name);
        if (found == journaled.constEnd()) {
            add(name, QStringLiteral("no journal entry adds this account"),
                QStringLiteral("ninguna entrada del registro agrega esta cuenta"));
        } else if (found->fingerprint.isEmpty()) {
            add(name, QStringLiteral("the journal deleted this account (%1)").arg(entryText(found->entry, false)),
                QStringLiteral("el registro borró esta cuenta (%1)").arg(entryText(found->entry, true)));
        } else if (found->fingerprint != accountFingerprint(row.value(3).toString())) {
            add(name,
                QStringLiteral("the stored password is not the one the journal recorded last (%1)")
                    .arg(entryText(found->entry, false)),
                QStringLiteral("la contraseña guardada no es la que el registro anotó por última vez (%1)")
                    .arg(entryText(found->entry, true)));
        }
        return true;
    });
    for (auto it = journaled.constBegin(); it != journaled.constEnd(); ++it) {
        if (!it->fingerprint.isEmpty() && !seen.contains(it.key())) {
            add(it.key(),
                QStringLiteral("the account is missing, the journal has it (%1)").arg(entryText(it->entry, false)),
                QStringLiteral("la cuenta falta y el registro la tiene (%1)").arg(entryText(it->entry, true)));
        }
    }
}

// The rows of PuestosApartados against the entries "Puesto apartado", each rebuilt whole from
// its row as the program wrote it. Returns, by the key of "puesto@apertura", how many rows were
// set aside after the journal began to cover the books.
std::unordered_map<quint64, int>
compareSetAside(Findings &out, data::Database &db, std::unordered_map<quint64, std::vector<qint64>> &entries,
                const std::function<quint64(QByteArrayView)> &keyOf,
                const std::function<quint64(QByteArrayView, QByteArrayView)> &openingKey, qint64 baseline) {
    std::unordered_map<quint64, int> aside;
    db.forEachRow(statements::puestosApartadosBooks(), [&](const QVector<QVariant> &row) {
        // As the start-up names the row in the entry, from the values as read.
        const QString detail = QStringLiteral("Puesto=%1; Modo=%2; Usuario=%3; Apertura=%4; Motivo=%5")
                                   .arg(row.value(1).toString(), row.value(2).toString(), row.value(3).toString(),
                                        row.value(4).toString(), row.value(5).toString());
        const auto found = entries.find(keyOf(detail.toUtf8()));
        if (found == entries.end() || found->second.empty()) {
            const qint64 rowid = row.value(0).toLongLong();
            out.add({QStringLiteral("PuestosApartados"), QStringLiteral("row %1").arg(rowid),
                     QStringLiteral("fila %1").arg(rowid),
                     QStringLiteral("no journal entry sets this row aside (%1)").arg(detail),
                     QStringLiteral("ninguna entrada del registro aparta esta fila (%1)").arg(detail)});
            return true;
        }
        const qint64 entry = found->second.front();
        found->second.erase(found->second.begin());
        if (entry > baseline) {
            const QVariant &puesto = row.value(1);
            const bool number = puesto.typeId() == QMetaType::LongLong || puesto.typeId() == QMetaType::Double;
            ++aside[openingKey(number ? numtext::engineNumber(puesto.toDouble()).toUtf8() : puesto.toString().toUtf8(),
                               row.value(4).toString().toUtf8())];
        }
        return true;
    });
    std::vector<qint64> left;
    for (const auto &[key, list] : entries) {
        left.insert(left.end(), list.begin(), list.end());
    }
    std::sort(left.begin(), left.end());
    for (const qint64 entry : left) {
        out.add({QStringLiteral("PuestosApartados"), entryText(entry, false), entryText(entry, true),
                 QStringLiteral("the row it sets aside is not in the table"),
                 QStringLiteral("la fila que aparta no está en la tabla")});
    }
    return aside;
}

// Each field of what a row charges by that is not what the journal opened it with.
std::pair<QStringList, QStringList> shapeDifferences(const Shape &row, const Shape &journaled) {
    QStringList what;
    QStringList que;
    const bool prepaid = row.modo == journaled.modo && row.modo == QLatin1String("Prepago");
    const std::pair<const char *, std::pair<QString, QString>> columns[] = {
        {"Modo", {row.modo, journaled.modo}},
        {"Bloques", {prepaid ? row.bloques : QString(), prepaid ? journaled.bloques : QString()}},
        {"Minutos", {row.minutos, journaled.minutos}},
        {"Pesos", {row.pesos, journaled.pesos}}};
    for (const auto &[column, values] : columns) {
        if (values.first != values.second) {
            what
                << QStringLiteral("%1 %2, the journal says %3").arg(QLatin1String(column), values.first, values.second);
            que << QStringLiteral("%1 %2, el registro dice %3").arg(QLatin1String(column), values.first, values.second);
        }
    }
    return {what, que};
}

void compareOpen(Findings &out, data::Database &db, const std::unordered_map<quint64, Opening> &journaled,
                 const std::unordered_map<quint64, int> &aside,
                 const std::function<quint64(QByteArrayView, QByteArrayView)> &keyOf) {
    struct Row {
        QString name; // "Puesto 3 (Apertura=...)"
        Shape shape;
    };
    std::unordered_map<quint64, std::vector<Row>> rows;
    std::vector<quint64> order; // as the table lists them
    db.forEachRawRow(statements::puestosAbiertosBooks(), [&](const data::Database::RowView &row) {
        const QByteArray puesto = numberAt(row, 1).toUtf8();
        const quint64 key = keyOf(puesto, row.text(2));
        std::vector<Row> &same = rows[key];
        if (same.empty()) {
            order.push_back(key);
        }
        same.push_back(
            {QStringLiteral("Puesto %1 (Apertura=%2)").arg(QString::fromUtf8(puesto), QString::fromUtf8(row.text(2))),
             shapeOfRow(row, 3)});
        return true;
    });
    for (const quint64 key : order) {
        const std::vector<Row> &same = rows[key];
        const QString &name = same.front().name;
        const auto found = journaled.find(key);
        if (found == journaled.end()) {
            out.add({QStringLiteral("PuestosAbiertos"), name, name, QStringLiteral("no journal entry opens it"),
                     QStringLiteral("ninguna entrada del registro lo abre")});
            continue;
        }
        const Opening &o = found->second;
        const qint64 count = static_cast<qint64>(same.size());
        if (count > o.open) {
            // A copy of a row: the second would come back as a rental of its own.
            out.add({QStringLiteral("PuestosAbiertos"), name, name,
                     QStringLiteral("%1 rows, the journal opened it %2 (%3)")
                         .arg(count)
                         .arg(o.open == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(o.open))
                         .arg(entryText(o.entry, false)),
                     QStringLiteral("%1 filas, y el registro lo abrió %2 (%3)")
                         .arg(count)
                         .arg(o.open == 1 ? QStringLiteral("una vez") : QStringLiteral("%1 veces").arg(o.open))
                         .arg(entryText(o.entry, true))});
        }
        Shape opened;
        if (o.start) {
            opened = *o.start;
        } else if (!o.name.isEmpty()) {
            continue; // a start that kept no values vouches for the opening alone
        } else {
            db.forEachRawRow(statements::registroDetalle(o.entry), [&opened](const data::Database::RowView &entry) {
                opened = shapeOfEntry(QString::fromUtf8(entry.text(1)));
                return false;
            });
        }
        if (!o.blocks.isEmpty()) {
            opened.bloques = o.blocks;
        }
        // Every row left must charge as the journal opened it, a copy kept beside it too.
        for (const Row &r : same) {
            const auto [what, que] = shapeDifferences(r.shape, opened);
            if (!what.isEmpty()) {
                out.add({QStringLiteral("PuestosAbiertos"), r.name, r.name,
                         what.join(QStringLiteral("; ")) + QStringLiteral(" (%1)").arg(entryText(o.entry, false)),
                         que.join(QStringLiteral("; ")) + QStringLiteral(" (%1)").arg(entryText(o.entry, true))});
            }
        }
    }
    // Openings whose rows are gone with no entry ending them. A row set aside may have been the
    // one the journal opened, or a copy beside it: the rows left are then fewer by up to that many.
    std::vector<std::pair<qint64, QString>> gone; // the entry, the name known from the journal's start
    for (const auto &[key, o] : journaled) {
        const auto found = rows.find(key);
        const auto setAside = aside.find(key);
        const qint64 left = found == rows.end() ? 0 : static_cast<qint64>(found->second.size());
        if (left < o.open - (setAside == aside.end() ? 0 : setAside->second)) {
            gone.emplace_back(o.entry, o.name);
        }
    }
    std::sort(gone.begin(), gone.end());
    for (const auto &[entry, known] : gone) {
        QString name = known;
        db.forEachRawRow(statements::registroDetalle(entry), [&](const data::Database::RowView &row) {
            if (name.isEmpty()) {
                name = QStringLiteral("Puesto %1 (Apertura=%2)")
                           .arg(row.integer(0))
                           .arg(QString::fromUtf8(BooksTally::openingOf(row.text(1))));
            }
            return false;
        });
        out.add(
            {QStringLiteral("PuestosAbiertos"), name, name,
             QStringLiteral("opened at %1 and never ended, but the row is gone").arg(entryText(entry, false)),
             QStringLiteral("se abrió en la %1 y no terminó, pero la fila ya no está").arg(entryText(entry, true))});
    }
}

void compareSeal(Findings &out, data::Database &db, const QByteArray &key, const QString &salt) {
    std::optional<seal::Stored> stored;
    try {
        stored = seal::stored(db);
    } catch (const data::DbError &) {
        out.add({QStringLiteral("Sello"), QStringLiteral("(table)"), QStringLiteral("(tabla)"),
                 QStringLiteral("the table cannot be read"), QStringLiteral("no se puede leer la tabla")});
        return;
    }
    if (!stored && key.isEmpty()) {
        return;
    }
    if (!stored) {
        out.add({QStringLiteral("Sello"), QStringLiteral("(no row)"), QStringLiteral("(sin filas)"),
                 QStringLiteral("no key, the journal's key is %1").arg(seal::fingerprint(key)),
                 QStringLiteral("no hay clave, y la del registro es %1").arg(seal::fingerprint(key))});
    } else if (stored->publicKey != key || QString::fromLatin1(stored->how.salt.toHex()) != salt) {
        const QString journaled = key.isEmpty() ? QStringLiteral("none") : seal::fingerprint(key);
        out.add({QStringLiteral("Sello"), QStringLiteral("row 1"), QStringLiteral("fila 1"),
                 QStringLiteral("key %1, the journal's key is %2").arg(seal::fingerprint(stored->publicKey), journaled),
                 QStringLiteral("clave %1, y la del registro es %2")
                     .arg(seal::fingerprint(stored->publicKey),
                          key.isEmpty() ? QStringLiteral("ninguna") : seal::fingerprint(key))});
    }
}

} // namespace

QList<Difference> BooksTally::compare(data::Database &db, const QByteArray &sealKey, const QString &sealSalt,
                                      const std::function<bool(qint64)> &progress, qint64 *rentals, qint64 *more,
                                      int limit) {
    State &d = *d_;
    Findings out;
    out.limit = limit;
    if (d.secondBaseline > 0) {
        out.add(
            {QStringLiteral("Registro"), entryText(d.secondBaseline, false), entryText(d.secondBaseline, true),
             QStringLiteral("the books are started a second time (the first at %1)").arg(entryText(d.baseline, false)),
             QStringLiteral("los libros se inician por segunda vez (la primera en la %1)")
                 .arg(entryText(d.baseline, true))});
    }
    Matching m = match(
        db, d.rentals, [&d](QByteArrayView detail) { return d.keyOf(detail); }, progress);
    d.rentals.clear();
    if (rentals) {
        *rentals = m.rentals;
    }
    compareRentals(out, m, d.hasta, d.previousRows, d.digest, d.baseline);
    compareOperations(out, db, d.operations, [&d](QByteArrayView detail) { return d.keyOf(detail); });
    d.operations.clear();
    compareRate(out, db, d.rate);
    compareAccounts(out, db, d.accounts, d.admin);
    const auto openingKey = [&d](QByteArrayView puesto, QByteArrayView apertura) {
        return d.openingKey(puesto, apertura);
    };
    const std::unordered_map<quint64, int> aside = compareSetAside(
        out, db, d.asides, [&d](QByteArrayView detail) { return d.keyOf(detail); }, openingKey, d.baseline);
    compareOpen(out, db, d.open, aside, openingKey);
    compareSeal(out, db, sealKey, sealSalt);
    if (more) {
        *more = out.more;
    }
    return out.list;
}

void startBooks(data::Database &db, const QDateTime &when) {
    bool started = false;
    db.forEachRow(statements::registroFirstOf(event::kBooksStarted), [&started](const QVector<QVariant> &) {
        started = true;
        return false;
    });
    if (started) {
        return;
    }
    BooksTally tally;
    db.forEachRawRow(statements::registroAll(), [&tally](const data::Database::RowView &row) {
        tally.see(row.integer(0), row.text(3), row.isNull(4) ? 0 : static_cast<int>(row.integer(4)), row.text(5));
        return true;
    });
    BooksTally::State &d = *tally.d_;
    Matching m = match(db, d.rentals, [&d](QByteArrayView detail) { return d.keyOf(detail); }, {});
    QString hasta = when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const UnmatchedRow &r : std::as_const(m.rows)) {
        hasta = std::max(hasta, r.when);
    }
    QStringList detail{QStringLiteral("Alquileres previos=%1").arg(m.rows.size()), QStringLiteral("Hasta=") + hasta,
                       QStringLiteral("Resumen=") + digestOf(m.rows)};
    QString rate = QStringLiteral("ninguna");
    db.forEachRow(statements::tarifaBooks(), [&rate](const QVector<QVariant> &row) {
        rate = QStringLiteral("%1 minutos por %2")
                   .arg(numtext::engineNumber(row.value(1).toDouble()), numtext::engineNumber(row.value(2).toDouble()));
        return false;
    });
    detail << QStringLiteral("Tarifa=") + rate;
    QString admin;
    QStringList accounts;
    db.forEachRow(statements::usuariosBooks(), [&](const QVector<QVariant> &row) {
        const QString name = row.value(2).toString();
        if (admin.isEmpty() && row.value(1).toString() == QLatin1String("0")) {
            admin = name;
        }
        accounts << escaped(name) + u':' + accountFingerprint(row.value(3).toString());
        return true;
    });
    QStringList provisional;
    db.forEachRow(statements::clavesProvisoriasBooks(), [&provisional](const QVector<QVariant> &row) {
        provisional << escaped(row.value(1).toString());
        return true;
    });
    detail << QStringLiteral("Administrador=") + escaped(admin) << QStringLiteral("Cuentas=") + accounts.join(u',')
           << QStringLiteral("Provisorias=") + provisional.join(u',');
    QStringList open;
    db.forEachRawRow(statements::puestosAbiertosBooks(), [&open](const data::Database::RowView &row) {
        const Shape s = shapeOfRow(row, 3);
        open << QStringList{escaped(numberAt(row, 1)), escaped(QString::fromUtf8(row.text(2))),
                            escaped(s.modo),           escaped(s.minutos),
                            escaped(s.pesos),          escaped(s.bloques)}
                    .join(u'@');
        return true;
    });
    detail << QStringLiteral("Abiertos=") + open.join(u',');
    append(db, when, QString(), event::kBooksStarted, 0, detail.join(QStringLiteral("; ")));
}

} // namespace journal
