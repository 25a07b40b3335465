#pragma once

#include <QDate>
#include <QString>

// The text of every statement the program sends, in the Jet dialect, joined from fixed
// fragments and values exactly as the windows have always written them. Text values get
// their single quotes doubled.
namespace statements {

QString quoted(const QString &text);          // doubles every single quote
QString monthAbbrev(int month);               // 1 "Jan" .. 12 "Dec", whatever the locale
QString cashCloseDateText(const QDate &date); // 5-Dec-2026

// Main window
QString tarifaSelect(); // "SELECT * FROM Tarifa"
// hora: time of day as text; horas/minutos: the Tiempo parts; importe: a number the engine reads.
QString alquilerInsert(int puesto, bool contador, const QString &usuario, int day, const QString &monthAbbrev, int year,
                       const QString &hora, const QString &horas, const QString &minutos, const QString &importe);
// The same with Modo as given: "Prepago (agregado)" for blocks added, "Anulación" for a refund.
QString alquilerInsert(int puesto, const QString &modo, const QString &usuario, int day, const QString &monthAbbrev,
                       int year, const QString &hora, const QString &horas, const QString &minutos,
                       const QString &importe);

// Open stations, kept so a running rental outlives the program. apertura and fin are instants
// as stored (ISO 8601, UTC); bloques is 0 and fin empty for a Contador rental. arranque names
// the boot and arranqueMs is its boot clock at the opening; the time known so far starts at 0,
// seen at the opening.
QString puestoAbiertoInsert(int puesto, bool contador, const QString &usuario, const QString &apertura, int minutos,
                            const QString &pesos, int bloques, const QString &fin, const QString &arranque,
                            qint64 arranqueMs);
// What a rental opened with, kept beside it: its console type, its controllers, its terms as
// encoded text, and for a prepaid rental what it was paid (a number the engine reads; empty for
// a Contador one).
struct OpenedWith {
    QString consola;
    int mandos = 1;
    QString condiciones;
    QString pagado;
};
QString puestoAbiertoInsert(int puesto, bool contador, const QString &usuario, const QString &apertura, int minutos,
                            const QString &pesos, int bloques, const QString &fin, const QString &arranque,
                            qint64 arranqueMs, const OpenedWith &with);
QString puestoAbiertoDelete(int puesto, const QString &apertura);
// The station's time as last seen: the boot clock it counts on, the whole seconds passed since
// its opening and the wall instant they were seen at. The opening itself is never rewritten.
// A station's pause kept in its row: the milliseconds paused before, and the milliseconds it had
// run when the current pause began (negative: it runs).
QString puestoAbiertoPausa(int puesto, const QString &apertura, qint64 pausaMs, qint64 pausadoEn);
// A prepaid rental's blocks bought and courtesy minutes given so far, and its end as they make it.
QString puestoAbiertoPrepago(int puesto, const QString &apertura, int bloques, qint64 cortesia, const QString &fin);
// The same with all it was paid so far (a number the engine reads).
QString puestoAbiertoPrepago(int puesto, const QString &apertura, int bloques, qint64 cortesia, const QString &fin,
                             const QString &pagado);
// The amount to take off a Contador rental at its close (a number the engine reads).
QString puestoAbiertoDescuento(int puesto, const QString &apertura, const QString &descuento);
// The rental taken to station nuevo.
QString puestoAbiertoMover(int puesto, const QString &apertura, int nuevo);
// One of the counter's corrections (see the Operaciones table): fecha yyyy-MM-dd and hora
// HH:mm:ss local, autorizo empty when nobody had to approve it.
QString operacionInsert(const QString &fecha, const QString &hora, int puesto, const QString &tipo,
                        const QString &usuario, const QString &autorizo, qint64 minutos, const QString &importe,
                        const QString &motivo);
QString puestoAbiertoReloj(int puesto, const QString &apertura, const QString &arranque, qint64 arranqueMs,
                           qint64 transcurrido, const QString &visto);
// Every row with its rowid as Fila, which names a row whatever its values; by station, then
// in the order written.
QString puestosAbiertosList();
// A row that cannot be restored, copied as it is into PuestosApartados with why and when,
// and then removed.
QString puestoApartar(qint64 fila, const QString &motivo, const QString &apartado);
QString puestoAbiertoDeleteFila(qint64 fila);
// What a copy of the books holds: its number of rentals (Alquileres) and the last one's date (Ultimo).
QString alquilerSummary();

// The room's settings: one key's Valor, and a key's value replaced (two statements, in order).
QString salonLookup(const QString &clave);
QStringList salonSet(const QString &clave, const QString &valor);

// The journal. puesto 0 is written as NULL; instants are UTC ISO 8601 texts.
QString registroInsert(qint64 secuencia, const QString &instante, const QString &usuario, const QString &evento,
                       int puesto, const QString &detalle, const QString &hash);
QString registroLast();                                         // the last entry's Secuencia, Hash
QString registroAll();                                          // every entry, in order
QString registroPeriod(const QString &from, const QString &to); // newest first, Instante from..to
QString registroDetalle(qint64 secuencia);                      // one entry's Puesto, Detalle
QString registroFirstOf(const QString &evento);                 // the first entry of a kind's Secuencia
QString registroLastOf(const QString &evento);                  // the last entry of a kind's Secuencia

// The owner's seal: the stored key (Sal, Clave, Operaciones, Memoria, Desde), hex texts.
QString selloRow();
QString selloEmpty();
QString selloInsert(const QString &sal, const QString &clave, qint64 operaciones, qint64 memoria, qint64 desde);

// The books as the journal's cross-check reads them, each row with its rowid first.
QString alquilerBooks();          // rowid, Puesto, Modo, Usuario, Fecha, Hora, Tiempo, Importe
QString tarifaBooks();            // rowid, Minutos, Pesos
QString usuariosBooks();          // rowid, codigo, Usuario, Contraseña
QString puestosAbiertosBooks();   // rowid, Puesto, Apertura, Modo, Minutos, Pesos, Bloques
QString puestosApartadosBooks();  // rowid, Puesto, Modo, Usuario, Apertura, Motivo
QString clavesProvisoriasBooks(); // rowid, Usuario
QString operacionesBooks();       // rowid, Fecha, Hora, Puesto, Tipo, Usuario, Autorizo, Minutos, Importe, Motivo

// Accounts window
QString usuariosList(); // "Select * from Usuarios ORDER BY Usuario"
QString passwordLookup(const QString &usuario);
QString usuarioInsert(int codigo, const QString &usuario, const QString &contrasena);
QString usuarioPasswordUpdate(const QString &usuario, const QString &contrasena);
QString usuarioDelete(const QString &usuario);
// The sign-in throttle's record of an account: its failures in a row, the last one's wall instant
// (UTC ISO 8601) and its boot and boot-clock milliseconds.
QString intentosLookup(const QString &usuario);
QString intentosInsert(const QString &usuario, int fallos, const QString &ultimoFallo, const QString &arranque,
                       qint64 relojArranque);
QString intentosDelete(const QString &usuario);
// Accounts whose password the administrator set: their next sign-in asks for one of their own.
QString provisoriaLookup(const QString &usuario);
QString provisoriaInsert(const QString &usuario);
QString provisoriaDelete(const QString &usuario);

// Cash close
QString cajaEmpty(); // "DELETE * FROM Caja"
QString alquilerRange(const QDate &from, const QDate &to);
QString cajaInsert(const QString &puesto, const QString &modo, const QString &usuario, const QDate &fecha,
                   const QString &hora, const QString &tiempo, const QString &importe);
QString cajaTrimFirstDay(const QDate &from, const QString &hora1);
QString cajaTrimLastDay(const QDate &to, const QString &hora2);
QString cajaTotals(); // "SELECT Usuario, Importe  FROM Caja"
// The period's rentals copied into Caja in one statement, each with its own date.
QString cajaCopy(const QDate &from, const QDate &to);
// Caja's rows by date, then time, columns in table order.
QString cajaGrid();
// Alquiler's rows of the days from..to, by date, then time, columns in table order.
QString alquilerPeriod(const QDate &from, const QDate &to);
// Operaciones' rows of the days from..to, by date, then time, columns in table order; and
// whether the file has that table at all (one row, 0 or 1).
QString operacionesPeriod(const QDate &from, const QDate &to);
QString operacionesPresent();

// Rate editor
QString tarifaEditorSelect(); // "Select * from Tarifa"
QString tarifaUpdate(const QString &minutos, const QString &pesos);

} // namespace statements
