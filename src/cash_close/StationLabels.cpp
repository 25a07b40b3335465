#include "cash_close/StationLabels.h"

#include "data/Database.h"

#include "stations/StationTypes.h"
#include <algorithm>

namespace cash_close {

QString defaultStationName(int number) {
    return QStringLiteral("Puesto %1").arg(number);
}

QString defaultStationType() {
    return QStringLiteral("Consola");
}

StationLabels StationLabels::defaults() {
    StationLabels labels;
    for (int n = 1; n <= 5; ++n) {
        labels.names.insert(n, defaultStationName(n));
        labels.types.insert(n, defaultStationType());
    }
    return labels;
}

QString StationLabels::name(int number) const {
    const QString named = names.value(number);
    return named.isEmpty() ? defaultStationName(number) : named;
}

QString StationLabels::type(int number) const {
    const QString typed = types.value(number);
    return typed.isEmpty() ? defaultStationType() : typed;
}

QVector<int> StationLabels::numbers() const {
    QVector<int> out = names.keys().toVector();
    for (const int n : types.keys()) {
        if (!names.contains(n)) {
            out.append(n);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool StationLabels::plain(int number) const {
    return name(number) == defaultStationName(number) && type(number) == defaultStationType();
}

StationLabels labelsOf(const std::vector<stations::StationSetup> &room) {
    StationLabels labels;
    for (const stations::StationSetup &setup : room) {
        labels.names.insert(setup.number, setup.name);
        labels.types.insert(setup.number, setup.type);
    }
    return labels;
}

StationLabels readStationLabels(data::Database &database) {
    bool present = false;
    database.forEachRow(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Puestos'"),
                        [&present](const QVector<QVariant> &v) {
                            present = v.value(0).toInt() > 0;
                            return false;
                        });
    StationLabels labels;
    if (present) {
        database.forEachRow(QStringLiteral("SELECT Numero, Nombre, Tipo FROM Puestos ORDER BY Numero"),
                            [&labels](const QVector<QVariant> &v) {
                                const int number = v.value(0).toInt();
                                labels.names.insert(number, v.value(1).toString());
                                labels.types.insert(number, v.value(2).toString());
                                return true;
                            });
    }
    return labels.names.isEmpty() ? StationLabels::defaults() : labels;
}

} // namespace cash_close
