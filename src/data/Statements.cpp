#include "data/Statements.h"

#include <array>

namespace statements {

QString quoted(const QString &text) {
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString monthAbbrev(int month) {
    static const std::array<const char *, 12> names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (month < 1 || month > 12)
        return {};
    return QString::fromLatin1(names[static_cast<std::size_t>(month - 1)]);
}

QString cashCloseDateText(const QDate &date) {
    return QString::number(date.day()) + QLatin1Char('-') + monthAbbrev(date.month()) + QLatin1Char('-') +
           QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString tarifaSelect() {
    return QStringLiteral("SELECT * FROM Tarifa");
}

QString alquilerInsert(int puesto, bool contador, const QString &usuario, int day, const QString &monthAbbrev, int year,
                       const QString &hora, const QString &horas, const QString &minutos, const QString &importe) {
    return alquilerInsert(puesto, contador ? QStringLiteral("Contador") : QStringLiteral("Prepago"), usuario, day,
                          monthAbbrev, year, hora, horas, minutos, importe);
}

QString alquilerInsert(int puesto, const QString &modo, const QString &usuario, int day, const QString &monthAbbrev,
                       int year, const QString &hora, const QString &horas, const QString &minutos,
                       const QString &importe) {
    return QStringLiteral("INSERT INTO Alquiler (Puesto,Modo,Usuario,Fecha,Hora,Tiempo,Importe) ") +
           QStringLiteral("VALUES (") + QString::number(puesto) + QStringLiteral(", '") + quoted(modo) +
           QStringLiteral("','") + quoted(usuario) + QStringLiteral("',#") + QString::number(day) + QLatin1Char('/') +
           monthAbbrev + QLatin1Char('/') + QString::number(year) + QStringLiteral("#,#") + hora +
           QStringLiteral("#,#") + horas + QLatin1Char(':') + minutos + QStringLiteral("#,") + importe +
           QLatin1Char(')');
}

namespace {

// The boot and its clock as two values; NULL, NULL where the machine names no boot.
QString bootClock(const QString &arranque, qint64 arranqueMs) {
    return arranque.isEmpty()
               ? QStringLiteral("NULL,NULL")
               : QLatin1Char('\'') + quoted(arranque) + QStringLiteral("',") + QString::number(arranqueMs);
}

} // namespace

QString puestoAbiertoInsert(int puesto, bool contador, const QString &usuario, const QString &apertura, int minutos,
                            const QString &pesos, int bloques, const QString &fin, const QString &arranque,
                            qint64 arranqueMs) {
    return QStringLiteral(
               "INSERT INTO PuestosAbiertos "
               "(Puesto,Modo,Usuario,Apertura,Minutos,Pesos,Bloques,Fin,Arranque,ArranqueMs,Transcurrido,Visto) ") +
           QStringLiteral("VALUES (") + QString::number(puesto) + QStringLiteral(", '") +
           (contador ? QStringLiteral("Contador") : QStringLiteral("Prepago")) + QStringLiteral("','") +
           quoted(usuario) + QStringLiteral("','") + quoted(apertura) + QStringLiteral("',") +
           QString::number(minutos) + QLatin1Char(',') + pesos + QLatin1Char(',') +
           (contador ? QStringLiteral("NULL,NULL")
                     : QString::number(bloques) + QStringLiteral(",'") + quoted(fin) + QLatin1Char('\'')) +
           QLatin1Char(',') + bootClock(arranque, arranqueMs) + QStringLiteral(",0,'") + quoted(apertura) +
           QStringLiteral("')");
}

QString puestoAbiertoDelete(int puesto, const QString &apertura) {
    return QStringLiteral("DELETE FROM PuestosAbiertos WHERE Puesto = ") + QString::number(puesto) +
           QStringLiteral(" AND Apertura = '") + quoted(apertura) + QLatin1Char('\'');
}

QString puestoAbiertoPausa(int puesto, const QString &apertura, qint64 pausaMs, qint64 pausadoEn) {
    return QStringLiteral("UPDATE PuestosAbiertos SET PausaMs = ") + QString::number(pausaMs) +
           QStringLiteral(", PausadoEn = ") + (pausadoEn < 0 ? QStringLiteral("NULL") : QString::number(pausadoEn)) +
           QStringLiteral(" WHERE Puesto = ") + QString::number(puesto) + QStringLiteral(" AND Apertura = '") +
           quoted(apertura) + QLatin1Char('\'');
}

namespace {
QString whereOpening(int puesto, const QString &apertura) {
    return QStringLiteral(" WHERE Puesto = ") + QString::number(puesto) + QStringLiteral(" AND Apertura = '") +
           quoted(apertura) + QLatin1Char('\'');
}
} // namespace

QString puestoAbiertoInsert(int puesto, bool contador, const QString &usuario, const QString &apertura, int minutos,
                            const QString &pesos, int bloques, const QString &fin, const QString &arranque,
                            qint64 arranqueMs, const OpenedWith &with) {
    QString sql =
        puestoAbiertoInsert(puesto, contador, usuario, apertura, minutos, pesos, bloques, fin, arranque, arranqueMs);
    const QString columns = QStringLiteral("Visto) ");
    sql.insert(sql.indexOf(columns) + columns.size() - 2, QStringLiteral(",Consola,Mandos,Condiciones,Pagado"));
    sql.chop(1);
    return sql + QStringLiteral(",'") + quoted(with.consola) + QStringLiteral("',") + QString::number(with.mandos) +
           QStringLiteral(",'") + quoted(with.condiciones) + QStringLiteral("',") +
           (with.pagado.isEmpty() ? QStringLiteral("NULL") : with.pagado) + QLatin1Char(')');
}

QString puestoAbiertoPrepago(int puesto, const QString &apertura, int bloques, qint64 cortesia, const QString &fin,
                             const QString &pagado) {
    return QStringLiteral("UPDATE PuestosAbiertos SET Pagado = ") + pagado + QStringLiteral(", Bloques = ") +
           QString::number(bloques) + QStringLiteral(", Cortesia = ") + QString::number(cortesia) +
           QStringLiteral(", Fin = '") + quoted(fin) + QLatin1Char('\'') + whereOpening(puesto, apertura);
}

QString puestoAbiertoPrepago(int puesto, const QString &apertura, int bloques, qint64 cortesia, const QString &fin) {
    return QStringLiteral("UPDATE PuestosAbiertos SET Bloques = ") + QString::number(bloques) +
           QStringLiteral(", Cortesia = ") + QString::number(cortesia) + QStringLiteral(", Fin = '") + quoted(fin) +
           QLatin1Char('\'') + whereOpening(puesto, apertura);
}

QString puestoAbiertoDescuento(int puesto, const QString &apertura, const QString &descuento) {
    return QStringLiteral("UPDATE PuestosAbiertos SET Descuento = ") + descuento + whereOpening(puesto, apertura);
}

QString puestoAbiertoMover(int puesto, const QString &apertura, int nuevo) {
    return QStringLiteral("UPDATE PuestosAbiertos SET Puesto = ") + QString::number(nuevo) +
           whereOpening(puesto, apertura);
}

QString operacionInsert(const QString &fecha, const QString &hora, int puesto, const QString &tipo,
                        const QString &usuario, const QString &autorizo, qint64 minutos, const QString &importe,
                        const QString &motivo) {
    return QStringLiteral("INSERT INTO Operaciones (Fecha,Hora,Puesto,Tipo,Usuario,Autorizo,Minutos,Importe,Motivo) "
                          "VALUES ('") +
           quoted(fecha) + QStringLiteral("','") + quoted(hora) + QStringLiteral("',") + QString::number(puesto) +
           QStringLiteral(",'") + quoted(tipo) + QStringLiteral("','") + quoted(usuario) + QStringLiteral("','") +
           quoted(autorizo) + QStringLiteral("',") + QString::number(minutos) + QLatin1Char(',') + importe +
           QStringLiteral(",'") + quoted(motivo) + QStringLiteral("')");
}

QString puestoAbiertoReloj(int puesto, const QString &apertura, const QString &arranque, qint64 arranqueMs,
                           qint64 transcurrido, const QString &visto) {
    const bool boot = !arranque.isEmpty();
    return QStringLiteral("UPDATE PuestosAbiertos SET Arranque = ") +
           (boot ? QLatin1Char('\'') + quoted(arranque) + QLatin1Char('\'') : QStringLiteral("NULL")) +
           QStringLiteral(", ArranqueMs = ") + (boot ? QString::number(arranqueMs) : QStringLiteral("NULL")) +
           QStringLiteral(", Transcurrido = ") + QString::number(transcurrido) + QStringLiteral(", Visto = '") +
           quoted(visto) + QStringLiteral("' WHERE Puesto = ") + QString::number(puesto) +
           QStringLiteral(" AND Apertura = '") + quoted(apertura) + QLatin1Char('\'');
}

QString salonLookup(const QString &clave) {
    return QStringLiteral("SELECT Valor FROM Salon WHERE Clave = '") + quoted(clave) + QLatin1Char('\'');
}

QStringList salonSet(const QString &clave, const QString &valor) {
    return {QStringLiteral("DELETE FROM Salon WHERE Clave = '") + quoted(clave) + QLatin1Char('\''),
            QStringLiteral("INSERT INTO Salon (Clave, Valor) VALUES ('") + quoted(clave) + QStringLiteral("', '") +
                quoted(valor) + QStringLiteral("')")};
}

QString puestosAbiertosList() {
    return QStringLiteral("SELECT rowid AS Fila, * FROM PuestosAbiertos ORDER BY Puesto, rowid");
}

QString puestoApartar(qint64 fila, const QString &motivo, const QString &apartado) {
    const QString columns =
        QStringLiteral("Puesto,Modo,Usuario,Apertura,Minutos,Pesos,Bloques,Fin,Arranque,ArranqueMs,Transcurrido,Visto");
    return QStringLiteral("INSERT INTO PuestosApartados (") + columns + QStringLiteral(",Motivo,Apartado) SELECT ") +
           columns + QStringLiteral(",'") + quoted(motivo) + QStringLiteral("','") + quoted(apartado) +
           QStringLiteral("' FROM PuestosAbiertos WHERE rowid = ") + QString::number(fila);
}

QString alquilerSummary() {
    return QStringLiteral("SELECT COUNT(*) AS Alquileres, MAX(Fecha) AS Ultimo FROM Alquiler");
}

QString puestoAbiertoDeleteFila(qint64 fila) {
    return QStringLiteral("DELETE FROM PuestosAbiertos WHERE rowid = ") + QString::number(fila);
}

QString registroInsert(qint64 secuencia, const QString &instante, const QString &usuario, const QString &evento,
                       int puesto, const QString &detalle, const QString &hash) {
    return QStringLiteral("INSERT INTO Registro (Secuencia,Instante,Usuario,Evento,Puesto,Detalle,Hash) VALUES (") +
           QString::number(secuencia) + QStringLiteral(",'") + quoted(instante) + QStringLiteral("','") +
           quoted(usuario) + QStringLiteral("','") + quoted(evento) + QStringLiteral("',") +
           (puesto > 0 ? QString::number(puesto) : QStringLiteral("NULL")) + QStringLiteral(",'") + quoted(detalle) +
           QStringLiteral("','") + quoted(hash) + QStringLiteral("')");
}

QString registroLast() {
    return QStringLiteral(
        "SELECT Secuencia, Hash FROM Registro WHERE Secuencia = (SELECT MAX(Secuencia) FROM Registro)");
}

QString registroDetalle(qint64 secuencia) {
    return QStringLiteral("SELECT Puesto, Detalle FROM Registro WHERE Secuencia = ") + QString::number(secuencia);
}

QString registroFirstOf(const QString &evento) {
    return QStringLiteral("SELECT Secuencia FROM Registro WHERE Evento = '") + quoted(evento) +
           QStringLiteral("' ORDER BY Secuencia LIMIT 1");
}

QString registroLastOf(const QString &evento) {
    return QStringLiteral("SELECT Secuencia FROM Registro WHERE Evento = '") + quoted(evento) +
           QStringLiteral("' ORDER BY Secuencia DESC LIMIT 1");
}

QString selloRow() {
    return QStringLiteral("SELECT Sal, Clave, Operaciones, Memoria, Desde FROM Sello");
}

QString selloEmpty() {
    return QStringLiteral("DELETE FROM Sello");
}

QString selloInsert(const QString &sal, const QString &clave, qint64 operaciones, qint64 memoria, qint64 desde) {
    return QStringLiteral("INSERT INTO Sello (Sal, Clave, Operaciones, Memoria, Desde) VALUES ('") + quoted(sal) +
           QStringLiteral("', '") + quoted(clave) + QStringLiteral("', ") + QString::number(operaciones) +
           QStringLiteral(", ") + QString::number(memoria) + QStringLiteral(", ") + QString::number(desde) +
           QLatin1Char(')');
}

QString alquilerBooks() {
    return QStringLiteral("SELECT rowid, Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe FROM Alquiler");
}

QString tarifaBooks() {
    return QStringLiteral("SELECT rowid, Minutos, Pesos FROM Tarifa");
}

QString usuariosBooks() {
    return QStringLiteral("SELECT rowid, codigo, Usuario, Contraseña FROM Usuarios");
}

QString puestosAbiertosBooks() {
    return QStringLiteral("SELECT rowid, Puesto, Apertura, Modo, Minutos, Pesos, Bloques FROM PuestosAbiertos");
}

QString clavesProvisoriasBooks() {
    return QStringLiteral("SELECT rowid, Usuario FROM ClavesProvisorias");
}

QString puestosApartadosBooks() {
    return QStringLiteral("SELECT rowid, Puesto, Modo, Usuario, Apertura, Motivo FROM PuestosApartados");
}

QString registroAll() {
    return QStringLiteral("SELECT Secuencia, Instante, Usuario, Evento, Puesto, Detalle, Hash FROM Registro ORDER BY "
                          "Secuencia");
}

QString registroPeriod(const QString &from, const QString &to) {
    return QStringLiteral("SELECT Secuencia, Instante, Usuario, Evento, Puesto, Detalle, Hash FROM Registro WHERE "
                          "Instante BETWEEN '") +
           quoted(from) + QStringLiteral("' AND '") + quoted(to) + QStringLiteral("' ORDER BY Secuencia DESC");
}

QString usuariosList() {
    return QStringLiteral("Select * from Usuarios ORDER BY Usuario");
}

QString passwordLookup(const QString &usuario) {
    return QStringLiteral("Select Contraseña from Usuarios Where Usuario = '") + quoted(usuario) + QLatin1Char('\'');
}

QString usuarioInsert(int codigo, const QString &usuario, const QString &contrasena) {
    return QStringLiteral("INSERT INTO Usuarios (codigo,usuario,contraseña) VALUES (") + QString::number(codigo) +
           QStringLiteral(",'") + quoted(usuario) + QStringLiteral("','") + quoted(contrasena) + QStringLiteral("')");
}

QString usuarioPasswordUpdate(const QString &usuario, const QString &contrasena) {
    return QStringLiteral("UPDATE Usuarios SET Contraseña = '") + quoted(contrasena) +
           QStringLiteral("' WHERE Usuario = '") + quoted(usuario) + QLatin1Char('\'');
}

QString usuarioDelete(const QString &usuario) {
    return QStringLiteral("DELETE FROM Usuarios Where Usuario = '") + quoted(usuario) + QLatin1Char('\'');
}

QString intentosLookup(const QString &usuario) {
    return QStringLiteral("SELECT Fallos, UltimoFallo, Arranque, RelojArranque FROM Intentos WHERE Usuario = '") +
           quoted(usuario) + QLatin1Char('\'');
}

QString intentosInsert(const QString &usuario, int fallos, const QString &ultimoFallo, const QString &arranque,
                       qint64 relojArranque) {
    return QStringLiteral("INSERT INTO Intentos (Usuario,Fallos,UltimoFallo,Arranque,RelojArranque) VALUES ('") +
           quoted(usuario) + QStringLiteral("',") + QString::number(fallos) + QStringLiteral(",'") +
           quoted(ultimoFallo) + QStringLiteral("','") + quoted(arranque) + QStringLiteral("',") +
           QString::number(relojArranque) + QLatin1Char(')');
}

QString intentosDelete(const QString &usuario) {
    return QStringLiteral("DELETE FROM Intentos WHERE Usuario = '") + quoted(usuario) + QLatin1Char('\'');
}

QString provisoriaLookup(const QString &usuario) {
    return QStringLiteral("SELECT Usuario FROM ClavesProvisorias WHERE Usuario = '") + quoted(usuario) +
           QLatin1Char('\'');
}

QString provisoriaInsert(const QString &usuario) {
    return QStringLiteral("INSERT INTO ClavesProvisorias (Usuario) VALUES ('") + quoted(usuario) + QStringLiteral("')");
}

QString provisoriaDelete(const QString &usuario) {
    return QStringLiteral("DELETE FROM ClavesProvisorias WHERE Usuario = '") + quoted(usuario) + QLatin1Char('\'');
}

QString cajaEmpty() {
    return QStringLiteral("DELETE * FROM Caja");
}

QString alquilerRange(const QDate &from, const QDate &to) {
    return QStringLiteral("SELECT * FROM Alquiler WHERE Fecha BETWEEN #") + cashCloseDateText(from) +
           QStringLiteral("# AND ") + QStringLiteral("#") + cashCloseDateText(to) + QStringLiteral("#");
}

QString cajaInsert(const QString &puesto, const QString &modo, const QString &usuario, const QDate &fecha,
                   const QString &hora, const QString &tiempo, const QString &importe) {
    return QStringLiteral("INSERT INTO Caja VALUES (") + puesto + QStringLiteral(",'") + quoted(modo) +
           QStringLiteral("','") + quoted(usuario) + QStringLiteral("',#") + cashCloseDateText(fecha) +
           QStringLiteral("#,#") + hora + QStringLiteral("#,#") + tiempo + QStringLiteral("#,") + importe +
           QLatin1Char(')');
}

QString cajaTrimFirstDay(const QDate &from, const QString &hora1) {
    return QStringLiteral("DELETE FROM Caja WHERE Fecha = #") + cashCloseDateText(from) +
           QStringLiteral("# AND Hora < #") + hora1 + QLatin1Char('#');
}

QString cajaTrimLastDay(const QDate &to, const QString &hora2) {
    return QStringLiteral("DELETE FROM Caja WHERE Fecha = #") + cashCloseDateText(to) +
           QStringLiteral("# AND Hora > #") + hora2 + QLatin1Char('#');
}

QString cajaTotals() {
    return QStringLiteral("SELECT Usuario, Importe  FROM Caja");
}

QString cajaCopy(const QDate &from, const QDate &to) {
    return QStringLiteral("INSERT INTO Caja SELECT * FROM Alquiler WHERE Fecha BETWEEN #") + cashCloseDateText(from) +
           QStringLiteral("# AND #") + cashCloseDateText(to) + QLatin1Char('#');
}

QString cajaGrid() {
    return QStringLiteral("SELECT Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe FROM Caja ORDER BY Fecha, Hora");
}

QString alquilerPeriod(const QDate &from, const QDate &to) {
    return QStringLiteral("SELECT Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe FROM Alquiler WHERE Fecha "
                          "BETWEEN #") +
           cashCloseDateText(from) + QStringLiteral("# AND #") + cashCloseDateText(to) +
           QStringLiteral("# ORDER BY Fecha, Hora");
}

QString operacionesPeriod(const QDate &from, const QDate &to) {
    return QStringLiteral("SELECT Fecha, Hora, Puesto, Tipo, Usuario, Autorizo, Minutos, Importe, Motivo FROM "
                          "Operaciones WHERE Fecha BETWEEN #") +
           cashCloseDateText(from) + QStringLiteral("# AND #") + cashCloseDateText(to) +
           QStringLiteral("# ORDER BY Fecha, Hora");
}

QString operacionesBooks() {
    return QStringLiteral(
        "SELECT rowid, Fecha, Hora, Puesto, Tipo, Usuario, Autorizo, Minutos, Importe, Motivo FROM Operaciones");
}

QString operacionesPresent() {
    return QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Operaciones'");
}

QString tarifaEditorSelect() {
    return QStringLiteral("Select * from Tarifa");
}

QString tarifaUpdate(const QString &minutos, const QString &pesos) {
    return QStringLiteral("UPDATE Tarifa SET Minutos = ") + minutos + QStringLiteral(",Pesos = ") + pesos;
}

} // namespace statements
