#include "ui/formCaja.h"

#include "accounts/AccountService.h"
#include "accounts/Session.h"
#include "cash_close/CashCloseInput.h"
#include "cash_close/Report.h"
#include "data/CopyJobs.h"
#include "data/Database.h"
#include "data/NumberText.h"
#include "data/RentalKinds.h"
#include "data/Statements.h"
#include "shifts/Shift.h"
#include "stations/StationBoard.h"
#include "ui/AdministratorPasswordDialog.h"
#include "ui/CajaGridModel.h"
#include "ui/FittedText.h"
#include "ui/JournalCheck.h"
#include "ui/ReportActions.h"
#include "ui/SystemPlatform.h"
#include "ui/Twips.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace {

constexpr int kGridLeft = 360;
constexpr int kGridTop = 2400;
constexpr int kGridWidth = 7335;
constexpr int kGridHeight = 2775;
constexpr int kCaptionHeight = 300;
constexpr int kSummaryLeft = 7800;
constexpr int kSummaryWidth = 4200;
// The shifts' list, across the window under the totals; what was below it moves down by its height.
constexpr int kShiftsTop = 6120;
constexpr int kShiftsHeight = 2640;
constexpr int kBelowShifts = kShiftsHeight;

QLabel *makeLabel(QWidget *parent, const QString &text, int left, int top, int width, int height) {
    auto *label = new QLabel(text, parent);
    label->setAttribute(Qt::WA_TranslucentBackground);
    ui::Form::place(label, left, top, width, height);
    return label;
}

// The text with every digit in the font's widest one: no amount of as many characters is wider.
QString widestDigits(QString text, const QFontMetrics &metrics) {
    QChar widest = QLatin1Char('0');
    for (char d = '1'; d <= '9'; ++d) {
        if (metrics.horizontalAdvance(QLatin1Char(d)) > metrics.horizontalAdvance(widest)) {
            widest = QLatin1Char(d);
        }
    }
    for (QChar &c : text) {
        if (c.isDigit()) {
            c = widest;
        }
    }
    return text;
}

// The widest date the locale's short form writes, every digit in the font's widest: a leap
// year's days give every month, day and weekday name, so no date of any year is wider.
int widestDate(const QLocale &locale, const QFontMetrics &metrics) {
    int widest = 0;
    for (QDate day(2000, 1, 1); day.year() == 2000; day = day.addDays(1)) {
        widest = std::max(widest,
                          metrics.horizontalAdvance(widestDigits(locale.toString(day, QLocale::ShortFormat), metrics)));
    }
    return widest;
}

// What a cell needs beside its text.
int cellMargins(const QTableView *grid) {
    return 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
}

QLineEdit *makeBox(QWidget *parent, const char *name, const QString &text, int left, int top, int width, int height) {
    auto *box = new QLineEdit(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    ui::Form::place(box, left, top, width, height);
    return box;
}

} // namespace

formCaja::formCaja(sys::Platform &platform, const accounts::Session &session, stations::StationBoard &board,
                   accounts::AccountService &accounts)
    : ui::Form(platform, QStringLiteral("Cierre de Caja"), QSize(12240, 7035 + kBelowShifts), QSize(607, 477), 4),
      session_(session), board_(board), accounts_(accounts) {
    setObjectName(QStringLiteral("formCaja"));

    Label1 = makeLabel(this, QStringLiteral("Usuario:"), 2760, 120, 1215, 375);
    lblUsuario = makeLabel(this, QString(), 4200, 120, 1575, 375);
    lblUsuario->setObjectName(QStringLiteral("lblUsuario"));
    lblDesde = makeLabel(this, QStringLiteral("Desde"), 1440, 885, 975, 255);
    lblHasta = makeLabel(this, QStringLiteral("hasta"), 4200, 885, 975, 255);
    lblHora1 = makeLabel(this, QStringLiteral("Hora"), 480, 1320, 615, 255);
    lblHora2 = makeLabel(this, QStringLiteral("Hora"), 3240, 1320, 615, 255);
    lblFecha1 = makeLabel(this, QStringLiteral("Fecha"), 360, 1680, 735, 255);
    lblFecha2 = makeLabel(this, QStringLiteral("Fecha"), 3120, 1680, 735, 255);

    txtHora1 = makeBox(this, "txtHora1", QStringLiteral("08:00:00 AM"), 1200, 1200, 1335, 285);
    txtHora2 = makeBox(this, "txtHora2", QStringLiteral("04:00:00 PM"), 3960, 1200, 1335, 285);
    txtFecha1 = makeBox(this, "txtFecha1", QString(), 1200, 1560, 1335, 375);
    txtFecha2 = makeBox(this, "txtFecha2", QString(), 3960, 1560, 1335, 375);

    cmdProcesar = button(this, "cmdProcesar", QStringLiteral("&Procesar Datos"), 5400, 1080, 2055, 375);
    cmdSalir = button(this, "cmdSalir", QStringLiteral("&Salir"), 5400, 1560, 2055, 375);

    // The grid's caption bar and its rows share the grid's rectangle.
    dgCaption = new QLabel(QStringLiteral("Puestos habiltados entre las fechas y horas asignadas"), this);
    dgCaption->setObjectName(QStringLiteral("dgLudomatCaption"));
    dgCaption->setAlignment(Qt::AlignCenter);
    dgCaption->setAutoFillBackground(true);
    dgCaption->setFrameShape(QFrame::Panel);
    dgCaption->setBackgroundRole(QPalette::Button);
    place(dgCaption, kGridLeft, kGridTop, kGridWidth, kCaptionHeight);
    dgLudomat = new QTableView(this);
    dgLudomat->setObjectName(QStringLiteral("dgLudomat"));
    dgLudomat->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The columns keep their narrow widths; a smaller face lets dates and modes be read whole.
    QFont gridFont = dgLudomat->font();
    gridFont.setPointSizeF(qMin(gridFont.pointSizeF(), 7.5));
    dgLudomat->setFont(gridFont);
    dgLudomat->setTextElideMode(Qt::ElideNone);
    dgLudomat->setSelectionBehavior(QAbstractItemView::SelectRows);
    dgLudomat->verticalHeader()->setDefaultSectionSize(ui::tw(270));
    place(dgLudomat, kGridLeft, kGridTop + kCaptionHeight, kGridWidth, kGridHeight - kCaptionHeight);
    gridModel_ = new CajaGridModel(this);
    dgLudomat->setModel(gridModel_);
    for (int c = 0; c < 7; ++c) {
        dgLudomat->setColumnWidth(c, ui::tw(kGridWidths[c]));
    }
    // Dates whole in any locale ("28 Feb 2026" under C is wider than "28/2/26"): the column
    // makes room for the longest date the locale writes.
    dgLudomat->setColumnWidth(
        3, std::max(ui::tw(kGridWidths[3]), widestDate(QLocale(), dgLudomat->fontMetrics()) + cellMargins(dgLudomat)));

    // The whole shift at a glance, to the right of what was there: the number of rentals and
    // the subtotals by operator, station and mode.
    lblResumen = makeLabel(this, QStringLiteral("Resumen del período"), kSummaryLeft, 885, kSummaryWidth, 255);
    trvResumen = new QTreeWidget(this);
    trvResumen->setObjectName(QStringLiteral("trvResumen"));
    trvResumen->setHeaderHidden(true);
    trvResumen->setRootIsDecorated(false);
    // Each line whole, however long its amount: the column grows and the list scrolls sideways.
    trvResumen->header()->setStretchLastSection(false);
    trvResumen->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    place(trvResumen, kSummaryLeft, 1200, kSummaryWidth, 4800);

    lblTotal = makeLabel(this, QStringLiteral("Total Facturado: $"), 360, 5760, 1995, 255);
    txtTotal = makeBox(this, "txtTotal", QStringLiteral("0"), 2400, 5640, 855, 360);
    lblTotalUsuario = makeLabel(this, QStringLiteral("Total Facturado Usuario: $"), 3840, 5760, 2835, 255);
    txtTotalUsuario = makeBox(this, "txtTotalUsuario", QStringLiteral("0"), 6720, 5640, 855, 360);

    // Every shift open during the period, with its drawer: what it should hold and what was counted.
    lblTurnos = makeLabel(this, QStringLiteral("Turnos del período"), kGridLeft, kShiftsTop + 60, 4000, 255);
    cmdPdfTurno =
        button(this, "cmdPdfTurno", QStringLiteral("PDF del t&urno"), kSummaryLeft + 2400, kShiftsTop, 1800, 375);
    cmdPdfTurno->setEnabled(false);
    grdTurnos = new QTableWidget(0, 13, this);
    grdTurnos->setObjectName(QStringLiteral("grdTurnos"));
    grdTurnos->setHorizontalHeaderLabels(
        {QStringLiteral("Usuario"), QStringLiteral("Apertura"), QStringLiteral("Cierre"), QStringLiteral("Fondo"),
         QStringLiteral("Ventas"), QStringLiteral("Ingresos"), QStringLiteral("Retiros"), QStringLiteral("Gastos"),
         QStringLiteral("Esperado"), QStringLiteral("Contado"), QStringLiteral("Diferencia"), QStringLiteral("Estado"),
         QStringLiteral("Nota")});
    grdTurnos->setFont(gridFont);
    grdTurnos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdTurnos->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTurnos->setSelectionMode(QAbstractItemView::SingleSelection);
    grdTurnos->setTextElideMode(Qt::ElideNone);
    grdTurnos->verticalHeader()->hide();
    grdTurnos->verticalHeader()->setDefaultSectionSize(ui::tw(270));
    grdTurnos->horizontalHeader()->setStretchLastSection(true);
    grdTurnos->horizontalHeader()->setHighlightSections(false);
    grdTurnos->resizeColumnsToContents();
    place(grdTurnos, kGridLeft, kShiftsTop + 420, kSummaryLeft + kSummaryWidth - kGridLeft, kShiftsHeight - 480);
    connect(grdTurnos, &QTableWidget::itemSelectionChanged, this,
            [this] { cmdPdfTurno->setEnabled(!running_ && selectedClosedShift() != 0); });
    connect(cmdPdfTurno, &QPushButton::clicked, this, &formCaja::cmdPdfTurno_Click);

    // Two rows below the shifts, so nothing above moves.
    lblRegistro =
        makeLabel(this, QString(), kGridLeft, 6180 + kBelowShifts, kSummaryLeft + kSummaryWidth - kGridLeft, 255);
    lblRegistro->setObjectName(QStringLiteral("lblRegistro"));
    lblRegistro->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cmdRegistro = button(this, "cmdRegistro", QStringLiteral("&Registro"), 5400, 6540 + kBelowShifts, 2055, 375);
    cmdGraficos = button(this, "cmdGraficos", QStringLiteral("&Gráficos"), 3720, 6540 + kBelowShifts, 1575, 375);

    cmdExportar = button(this, "cmdExportar", QStringLiteral("E&xportar…"), 360, 6540 + kBelowShifts, 1575, 375);
    cmdImprimir = button(this, "cmdImprimir", QStringLiteral("&Imprimir…"), 2040, 6540 + kBelowShifts, 1575, 375);

    // "s&eguridad", not "&seguridad": Alt+S stays the window's way out through "&Salir".
    cmdCopia =
        button(this, "cmdCopia", QStringLiteral("Copia de s&eguridad…"), kSummaryLeft, 6540 + kBelowShifts, 2295, 375);
    cmdRestaurar = button(this, "cmdRestaurar", QStringLiteral("Res&taurar copia…"), kSummaryLeft + 2400,
                          6540 + kBelowShifts, 1800, 375);

    // Above the summary, where the window had nothing: the run's operations one by one.
    cmdOperaciones =
        button(this, "cmdOperaciones", QStringLiteral("&Operaciones…"), kSummaryLeft + 2400, 450, 1800, 375);
    cmdOperaciones->setEnabled(false);

    tabChain({txtHora1, txtFecha1, txtHora2, txtFecha2, cmdProcesar, cmdSalir, dgLudomat, grdTurnos, cmdPdfTurno,
              cmdExportar, cmdImprimir, cmdGraficos, cmdRegistro, cmdCopia, cmdRestaurar, cmdOperaciones});

    connect(cmdProcesar, &QPushButton::clicked, this, &formCaja::cmdProcesar_Click);
    connect(cmdSalir, &QPushButton::clicked, this, &formCaja::cmdSalir_Click);
    connect(cmdRegistro, &QPushButton::clicked, this, &formCaja::cmdRegistro_Click);
    connect(cmdGraficos, &QPushButton::clicked, this, &formCaja::cmdGraficos_Click);
    connect(cmdCopia, &QPushButton::clicked, this, &formCaja::cmdCopia_Click);
    connect(cmdRestaurar, &QPushButton::clicked, this, &formCaja::cmdRestaurar_Click);
    connect(cmdExportar, &QPushButton::clicked, this, &formCaja::cmdExportar_Click);
    connect(cmdImprimir, &QPushButton::clicked, this, &formCaja::cmdImprimir_Click);
    connect(cmdOperaciones, &QPushButton::clicked, this, &formCaja::cmdOperaciones_Click);
}

formCaja::~formCaja() = default;

QString formCaja::currentOperator() const {
    return session_.user();
}

void formCaja::Form_Load() {
    lblUsuario->setText(currentOperator());
    const QString today = QLocale().toString(platform().clock.today(), QLocale::ShortFormat);
    txtFecha1->setText(today);
    txtFecha2->setText(today);
    showJournalSummary();
}

void formCaja::showJournalSummary() {
    // After a run, the run's own anchor: the one its PDF, print and CSV carry.
    if (report_) {
        showAnchor(*report_);
        return;
    }
    try {
        auto database = data::Database::open(platform().databasePath(), {.readOnly = true});
        const cash_close::Report now = cash_close::currentAnchor(*database);
        database->close();
        showAnchor(now);
    } catch (const data::DbError &error) {
        // Never an empty journal shown for one that could not be read.
        lblRegistro->setText(QStringLiteral("Registro: no se pudo leer"));
        lblRegistro->setToolTip(error.describe());
    }
}

void formCaja::showAnchor(const cash_close::Report &report) {
    if (report.journalEntries == 0) {
        lblRegistro->setText(QStringLiteral("Registro: vacío"));
        lblRegistro->setToolTip({});
        return;
    }
    const QString seal =
        report.sealKey.isEmpty() ? QStringLiteral("sin clave del dueño")
        : report.lastSeal == 0
            ? QStringLiteral("clave del dueño %1, sin sellos").arg(report.sealKey)
            : QStringLiteral("sello del dueño %1 en la entrada %2").arg(report.sealKey).arg(report.lastSeal);
    lblRegistro->setText(QStringLiteral("Registro: %1 entradas, último hash %2…; %3")
                             .arg(report.journalEntries)
                             .arg(report.journalLastHash.left(16), seal));
    lblRegistro->setToolTip(cash_close::journalAnchorLine(report) + QLatin1Char('\n') +
                            cash_close::sealAnchorLine(report));
}

void formCaja::showProgress(const QString &text, const QString &cancel) {
    progress_ = new QProgressDialog(text, cancel, 0, 0, this);
    progress_->setWindowTitle(QString::fromLatin1(ui::kApplicationTitle));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(400); // a short job ends before it shows
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    if (!cancel.isEmpty()) {
        connect(progress_, &QProgressDialog::canceled, this, [this] { job_.cancel(); });
    }
    progress_->setValue(0);
}

void formCaja::setRunning(bool running) {
    running_ = running;
    const QList<QWidget *> controls{cmdProcesar, cmdSalir,     cmdRegistro, cmdExportar, cmdImprimir, cmdGraficos,
                                    cmdCopia,    cmdRestaurar, txtHora1,    txtHora2,    txtFecha1,   txtFecha2};
    for (QWidget *control : controls) {
        control->setEnabled(!running);
    }
    cmdOperaciones->setEnabled(!running && report_ && !report_->operations.isEmpty());
    cmdPdfTurno->setEnabled(!running && selectedClosedShift() != 0);
}

std::optional<cash_close::Period> formCaja::readPeriod() {
    const QDate today = platform().clock.today();
    const QString example = QLocale().toString(today, QLocale::ShortFormat);
    auto refuseDate = [&](const QString &where, const QString &text) {
        platform().messages.showMessage(
            this, QStringLiteral("La fecha %1 («%2») no es una fecha válida. Escríbala como %3 o como %4.")
                      .arg(where, text, example, today.toString(QStringLiteral("yyyy-MM-dd"))));
    };
    auto refuseTime = [&](const QString &where, const QString &text) {
        platform().messages.showMessage(
            this, QStringLiteral("La hora %1 («%2») no es una hora válida. Escríbala como 08:00:00 AM o como 16:00:00.")
                      .arg(where, text));
    };
    const auto from = cash_close::parseBoxDate(txtFecha1->text(), today);
    if (!from) {
        refuseDate(QStringLiteral("«Desde»"), txtFecha1->text());
        return std::nullopt;
    }
    const auto to = cash_close::parseBoxDate(txtFecha2->text(), today);
    if (!to) {
        refuseDate(QStringLiteral("«hasta»"), txtFecha2->text());
        return std::nullopt;
    }
    const auto fromTime = cash_close::parseBoxTime(txtHora1->text());
    if (!fromTime) {
        refuseTime(QStringLiteral("«Desde»"), txtHora1->text());
        return std::nullopt;
    }
    const auto toTime = cash_close::parseBoxTime(txtHora2->text());
    if (!toTime) {
        refuseTime(QStringLiteral("«hasta»"), txtHora2->text());
        return std::nullopt;
    }
    return cash_close::Period{*from, *fromTime, *to, *toTime};
}

cash_close::StationLabels formCaja::stationLabels() const {
    if (labels_) {
        return *labels_;
    }
    std::vector<stations::StationSetup> room;
    for (int i = 0; i < board_.count(); ++i) {
        room.push_back(board_.setup(i));
    }
    return cash_close::labelsOf(room);
}

void formCaja::clearResults() {
    report_.reset();
    ui::setFittedText(txtTotal, QStringLiteral("0"));
    ui::setFittedText(txtTotalUsuario, QStringLiteral("0"));
    gridModel_->clear();
    dgLudomat->setColumnWidth(6, ui::tw(kGridWidths[6]));
    trvResumen->clear();
    cmdOperaciones->setEnabled(false);
    grdTurnos->setRowCount(0);
    cmdPdfTurno->setEnabled(false);
}

void formCaja::cmdProcesar_Click() {
    if (running_) {
        return;
    }
    // Whatever happens next, nothing of an earlier period stays beside the new dates.
    clearResults();
    // Every box is read before anything is sent, so bad input changes nothing.
    const std::optional<cash_close::Period> period = readPeriod();
    if (!period) {
        return;
    }
    if (period->reversed()) {
        platform().messages.showMessage(
            this, QStringLiteral("El período termina antes de empezar: «hasta» (%1 %2) es anterior a «Desde» (%3 %4). "
                                 "No se procesó nada.")
                      .arg(txtFecha2->text(), txtHora2->text(), txtFecha1->text(), txtHora1->text()));
        return;
    }

    setRunning(true);
    job_ = cash_close::startRun({platform().databasePath(), platform().where.backups(), *period, currentOperator(),
                                 platform().clock.wallTime(), session_.ownerSeal().key(), stationLabels()},
                                this, [this](cash_close::RunResult result) { runFinished(std::move(result)); });
    showProgress(QStringLiteral("Procesando los alquileres del período…"), QStringLiteral("&Cancelar"));
}

void formCaja::runFinished(cash_close::RunResult result) {
    // The progress dialog goes before any message, so the message's OK takes the Enter key.
    delete progress_;
    setRunning(false);
    if (!result.report) {
        showJournalSummary();
        platform().messages.showMessage(
            this, result.cancelled
                      ? QStringLiteral("Se canceló el cierre de caja; no se cambió nada.")
                      : QStringLiteral("No se pudo hacer el cierre de caja; no se cambió nada.\n") + result.failure);
        return;
    }
    showReport(std::move(*result.report));
    showJournalSummary();
    // The books against the journal, behind the run.
    stations::checkJournalInBackground(platform(), this);
    if (!result.backupFailure.isEmpty()) {
        platform().messages.showMessage(this, QStringLiteral("No se hizo la copia de seguridad automática. ") +
                                                  result.backupFailure);
    }
}

void formCaja::showReport(cash_close::Report report) {
    report_ = std::move(report);
    // Every digit in sight, at any total: the boxes keep their place and shrink the figures.
    ui::setFittedText(txtTotal, cash_close::moneyText(report_->totalCents));
    ui::setFittedText(txtTotalUsuario, cash_close::moneyText(report_->operatorCents));
    gridModel_->load(report_->rows);
    // The amounts' column makes room for the widest amount of the run; the grid scrolls sideways
    // when it must, and no amount is ever cut.
    const QFontMetrics metrics = dgLudomat->fontMetrics();
    dgLudomat->setColumnWidth(
        6, std::max(ui::tw(kGridWidths[6]),
                    metrics.horizontalAdvance(widestDigits(cash_close::longestMoneyText(report_->rows), metrics)) +
                        cellMargins(dgLudomat)));
    const auto line = [this](const cash_close::Subtotal &s, const QVector<cash_close::Subtotal> *list) {
        // Added blocks and refunds are money, never rentals: their mode has no count to show.
        if (list == &report_->byMode && !kinds::countsAsRental(s.key)) {
            return QStringLiteral("%1: $ %2").arg(s.key, numtext::amountText(s.cents));
        }
        return QStringLiteral("%1: $ %2 (%3)").arg(s.key, numtext::amountText(s.cents)).arg(s.rentals);
    };
    new QTreeWidgetItem(trvResumen, {QStringLiteral("Alquileres: %1").arg(report_->rentals)});
    const std::pair<QString, const QVector<cash_close::Subtotal> *> groups[] = {
        {QStringLiteral("Por operador"), &report_->byOperator},
        {QStringLiteral("Por puesto"), &report_->byStation},
        {QStringLiteral("Por consola"), &report_->byType},
        {QStringLiteral("Por modo"), &report_->byMode}};
    for (const auto &[title, list] : groups) {
        if (list == &report_->byType && list->isEmpty()) {
            continue; // a room of one console type
        }
        auto *group = new QTreeWidgetItem(trvResumen, {title});
        for (const cash_close::Subtotal &s : *list) {
            new QTreeWidgetItem(group, {line(s, list)});
        }
    }
    auto *operations =
        new QTreeWidgetItem(trvResumen, {QStringLiteral("Operaciones: %1").arg(report_->operations.size())});
    for (const cash_close::OperationTotal &t : report_->byOperation) {
        new QTreeWidgetItem(operations, {cash_close::operationTotalText(t)});
    }
    // Each operator's differences of the period, over or short.
    if (!report_->shifts.isEmpty()) {
        auto *turnos = new QTreeWidgetItem(trvResumen, {QStringLiteral("Turnos: %1").arg(report_->shifts.size())});
        for (const cash_close::ShiftDifference &d : report_->differences) {
            new QTreeWidgetItem(turnos, {QStringLiteral("Diferencia de %1: $ %2 (%3)")
                                             .arg(d.usuario, numtext::amountText(d.cents), QString::number(d.shifts))});
        }
    }
    trvResumen->expandAll();
    cmdOperaciones->setEnabled(!report_->operations.isEmpty());
    showShifts();
}

void formCaja::showShifts() {
    const QLocale locale;
    const auto moment = [&locale](const QDateTime &at) {
        return at.isValid() ? locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                                  at.time().toString(QStringLiteral("HH:mm:ss"))
                            : QString();
    };
    const auto money = [](const std::optional<qint64> &cents) {
        return cents ? numtext::amountText(*cents) : QString();
    };
    grdTurnos->setRowCount(static_cast<int>(report_->shifts.size()));
    for (int r = 0; r < grdTurnos->rowCount(); ++r) {
        const shifts::ShiftRecord &s = report_->shifts[r];
        const QString cells[13] = {s.usuario,
                                   moment(s.apertura),
                                   moment(s.cierre),
                                   money(s.totals.floatCents),
                                   money(s.totals.salesCents),
                                   money(s.totals.ingresosCents),
                                   money(s.totals.retirosCents),
                                   money(s.totals.gastosCents),
                                   money(s.expectedCents),
                                   money(s.countedCents),
                                   money(s.differenceCents),
                                   s.estado,
                                   s.nota};
        for (int c = 0; c < 13; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c >= 3 && c <= 10) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            grdTurnos->setItem(r, c, item);
        }
        grdTurnos->item(r, 0)->setData(Qt::UserRole, s.numero);
        grdTurnos->item(r, 12)->setToolTip(s.nota);
    }
    grdTurnos->resizeColumnsToContents();
}

qint64 formCaja::selectedClosedShift() const {
    const QList<QTableWidgetItem *> selected = grdTurnos->selectedItems();
    if (selected.isEmpty() || !report_) {
        return 0;
    }
    const int row = selected.first()->row();
    return row < report_->shifts.size() && report_->shifts[row].estado == shifts::kClosed ? report_->shifts[row].numero
                                                                                          : 0;
}

void formCaja::cmdPdfTurno_Click() {
    if (running_) {
        return;
    }
    if (const qint64 numero = selectedClosedShift(); numero != 0) {
        Q_EMIT shiftSlipAsked(numero);
    }
}

void formCaja::cmdOperaciones_Click() {
    if (running_ || !report_ || report_->operations.isEmpty()) {
        return;
    }
    auto *dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("frmOperaciones"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Operaciones del período"));
    auto *table = new QTableWidget(static_cast<int>(report_->operations.size()), 8, dialog);
    table->setObjectName(QStringLiteral("tblOperaciones"));
    table->setHorizontalHeaderLabels({QStringLiteral("Fecha y hora"), QStringLiteral("Puesto"), QStringLiteral("Tipo"),
                                      QStringLiteral("Usuario"), QStringLiteral("Autorizó"), QStringLiteral("Minutos"),
                                      QStringLiteral("Importe"), QStringLiteral("Motivo")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    const QLocale locale;
    for (int r = 0; r < table->rowCount(); ++r) {
        const cash_close::Operation &o = report_->operations[r];
        const QString cells[8] = {locale.toString(o.fecha, QLocale::ShortFormat) + QLatin1Char(' ') +
                                      o.hora.toString(QStringLiteral("HH:mm:ss")),
                                  QString::number(o.puesto),
                                  o.tipo,
                                  o.usuario,
                                  o.autorizo,
                                  QString::number(o.minutos),
                                  numtext::amountText(o.cents),
                                  o.motivo};
        for (int c = 0; c < 8; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == 1 || c == 5 || c == 6) {
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *close = buttons->addButton(QStringLiteral("&Cerrar"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdCerrarOperaciones"));
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog->resize(ui::tw(11000), ui::tw(4000));
    dialog->open();
}

void formCaja::cmdSalir_Click() {
    if (running_ || isUnloading()) {
        return;
    }
    try {
        auto database = data::Database::open(platform().databasePath());
        database->execute(statements::cajaEmpty());
        database->close();
    } catch (const data::DbError &error) {
        // Leave anyway: the next run empties Caja first, and the main window must not stay locked.
        platform().messages.showMessage(this, QStringLiteral("No se pudo vaciar la tabla Caja.\n") + error.describe());
    }
    Q_EMIT left(); // the journal and charts windows go with it
    unload();
}

void formCaja::cmdRegistro_Click() {
    if (running_) {
        return;
    }
    const std::optional<cash_close::Period> period = readPeriod();
    if (!period) {
        return;
    }
    // The boxes are local times; the last second is taken whole.
    Q_EMIT journalAsked(QDateTime(period->from, period->fromTime), QDateTime(period->to, period->toTime).addMSecs(999));
}

void formCaja::cmdGraficos_Click() {
    if (running_) {
        return;
    }
    if (!report()) {
        platform().messages.showMessage(this, QStringLiteral("Procese primero un período con «Procesar Datos»."));
        return;
    }
    // Pressed again after another run, it shows that run.
    Q_EMIT chartsAsked(*report());
}

void formCaja::cmdCopia_Click() {
    if (running_) {
        return;
    }
    setRunning(true); // nothing else in this window while the copy is made, leaving included
    const QDateTime now = platform().clock.wallTime();
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("ludomat-copia-%1.mdb").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString target = platform().files.savePath(this, {QStringLiteral("Copia de seguridad de la base de datos"),
                                                      suggested,
                                                      {QStringLiteral("Base de datos de Ludomat (*.mdb)")}});
    if (target.isEmpty()) {
        setRunning(false);
        showJournalSummary();
        return;
    }
    if (!target.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive)) {
        target += QStringLiteral(".mdb");
    }
    job_ = data::copyBooks(
        {platform().databasePath(), target, now, currentOperator(), QStringLiteral("a pedido")}, this,
        [this, target](const QString &failure) {
            delete progress_; // gone before the message
            platform().messages.showMessage(
                this, failure.isEmpty() ? QStringLiteral("Se hizo la copia de seguridad en %1.").arg(target) : failure);
            setRunning(false);
            showJournalSummary();
        });
    showProgress(QStringLiteral("Haciendo la copia de seguridad…"), QString());
}

void formCaja::cmdRestaurar_Click() {
    if (running_) {
        return;
    }
    QStringList open;
    for (int i = 0; i < board_.count(); ++i) {
        if (board_.station(i).running) {
            open << board_.setup(i).name;
        }
    }
    if (!open.isEmpty()) {
        platform().messages.showMessage(this,
                                        QStringLiteral("No se puede restaurar una copia con puestos en curso (%1). "
                                                       "Ciérrelos y vuelva a intentarlo.")
                                            .arg(open.join(QStringLiteral(", "))));
        return;
    }
    setRunning(true); // nothing else in this window meanwhile, leaving included
    auto administrator = std::make_shared<QString>();
    auto *dialog = new AdministratorPasswordDialog(
        this, QStringLiteral("Para restaurar una copia de los libros escriba la contraseña del administrador."),
        [this, administrator](const QString &typed) {
            const accounts::AdministratorCheck said = accounts_.checkAdministratorPassword(typed);
            if (said.verdict == accounts::AdministratorCheck::Verdict::Right) {
                *administrator = said.name;
                return true;
            }
            platform().messages.showMessage(this, said.refusal);
            return false;
        });
    connect(dialog, &QDialog::accepted, this, [this, administrator] { restoreAs(*administrator); });
    connect(dialog, &QDialog::rejected, this, [this] {
        setRunning(false);
        showJournalSummary();
    });
    dialog->open();
}

void formCaja::restoreAs(const QString &administrator) {
    const QString folder = platform().where.backups();
    const QString copy = platform().files.restoreCopy(this, folder);
    if (copy.isEmpty()) {
        setRunning(false);
        showJournalSummary();
        return;
    }
    // The check, the copy of the books and the restore take seconds on a large file.
    const QString operador = currentOperator();
    const QString how = operador.isEmpty() || operador == administrator
                            ? QStringLiteral("desde el cierre de caja")
                            : QStringLiteral("desde el cierre de caja, con %1 ingresado").arg(operador);
    job_ =
        data::restoreBooks({platform().databasePath(), copy, folder, platform().clock.wallTime(), administrator, how},
                           this, [this, copy](const data::Restored &result) { restoreFinished(copy, result); });
    showProgress(QStringLiteral("Restaurando la copia…"), QString());
}

void formCaja::restoreFinished(const QString &copy, const data::Restored &result) {
    delete progress_; // gone before the message
    if (!result.failure.isEmpty()) {
        QString text = result.failure;
        if (!result.keptAt.isEmpty()) {
            text += QStringLiteral("\n\nLos libros siguen como estaban; se guardó además una copia de ellos en %1.")
                        .arg(QDir::toNativeSeparators(result.keptAt));
        }
        platform().messages.showMessage(this, text);
        setRunning(false);
        showJournalSummary();
        return;
    }
    platform().messages.showMessage(
        this, QStringLiteral("Se restauró la copia %1. Los libros que había se guardaron en %2.\n\nLa tarifa y las "
                             "cuentas son ahora las de la copia: vuelva a ingresar.")
                  .arg(QDir::toNativeSeparators(copy), QDir::toNativeSeparators(result.keptAt)));
    setRunning(false);
    // Other books now: their rate is the one in force (no station is open), and their accounts
    // sign in. Nothing of the last run stays beside them.
    try {
        if (const QString problem = board_.readRate(); !problem.isEmpty()) {
            platform().messages.showMessage(this, problem + QStringLiteral(" Sigue en uso la tarifa de antes."));
        }
    } catch (const data::DbError &error) {
        platform().messages.showMessage(this, QStringLiteral("No se pudo leer la tarifa de la copia; sigue en uso "
                                                             "la de antes.\n\n") +
                                                  error.describe());
    }
    cmdSalir_Click();
    Q_EMIT copyRestored();
}

void formCaja::cmdExportar_Click() {
    if (!running_) {
        cash_close::exportReport(this, platform(), report());
    }
}

void formCaja::cmdImprimir_Click() {
    if (!running_) {
        cash_close::printReport(this, platform(), report());
    }
}

bool formCaja::queryClose() {
    if (running_) {
        return false; // the progress dialog's Cancelar stops a run
    }
    cmdSalir_Click();
    return true;
}
