#include "printing/PrintService.h"

#include "printing/EscPos.h"

namespace printing {

PrintService::PrintService(QObject *parent) : QObject(parent) {}

PrintService::~PrintService() {
    queue_.clear();
    running_.cancel();
    running_.wait();
}

void PrintService::setSettings(const PrinterSettings &settings) {
    settings_ = settings;
    down_ = false;
}

quint64 PrintService::print(const Document &document) {
    return hasPrinter() ? enqueue(settings_, document, true) : 0;
}

quint64 PrintService::printTo(const PrinterSettings &settings, const Document &document) {
    return enqueue(settings, document, false);
}

quint64 PrintService::enqueue(const PrinterSettings &settings, const Document &document, bool roomPrinter) {
    queue_.enqueue({++lastId_, settings, document, roomPrinter});
    if (!busy_) {
        startNext();
    }
    return lastId_;
}

void PrintService::startNext() {
    if (queue_.isEmpty()) {
        busy_ = false;
        return;
    }
    busy_ = true;
    Queued job = queue_.dequeue();
    running_ = sys::runInBackground(
        this,
        [settings = job.settings, document = job.document, timeouts = timeouts_](const sys::CancelToken &token) {
            return send(settings, escPos(document, settings.widthMm), token, timeouts);
        },
        [this, job](sys::Outcome<QString> outcome) { finished(job, outcome.ok() ? *outcome.value : outcome.failure); });
}

void PrintService::finished(const Queued &job, const QString &problem) {
    if (problem.isEmpty()) {
        if (job.roomPrinter && down_) {
            down_ = false;
            Q_EMIT printerBack();
        }
        Q_EMIT printed(job.id);
    } else {
        const QString message = QStringLiteral("No se pudo imprimir: %1.").arg(problem);
        // Only the room's printer as it is now: a job queued for one replaced since says nothing.
        if (job.roomPrinter && job.settings == settings_ && !down_) {
            down_ = true;
            Q_EMIT printerDown(message +
                               QStringLiteral("\n\nLas ventas se siguen registrando; no se avisará de nuevo hasta que "
                                              "la impresora vuelva a imprimir."));
        }
        Q_EMIT failed(job.id, message);
    }
    startNext();
}

} // namespace printing
