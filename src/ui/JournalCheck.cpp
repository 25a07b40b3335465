#include "ui/JournalCheck.h"

#include "data/JournalTask.h"

#include <QWidget>

namespace stations {

QString journalProblem(const journal::Verification &result, const QString &error) {
    if (!error.isEmpty() || !result.ok) {
        return QStringLiteral("El registro de eventos no verifica: %1. El programa sigue funcionando y sigue anotando; "
                              "el corte queda a la vista de --verify-journal.")
            .arg(error.isEmpty() ? result.problem : error);
    }
    if (result.booksAgree()) {
        return {};
    }
    QStringList found;
    for (const journal::Difference &d : result.differences) {
        if (found.size() == 5) {
            break;
        }
        found << QStringLiteral("- en %1, %2: %3").arg(d.table, d.fila, d.que);
    }
    const qint64 more = result.differences.size() - found.size() + result.moreDifferences;
    if (more > 0) {
        found << QStringLiteral("- y %1 diferencias más").arg(more);
    }
    return QStringLiteral(
               "Los libros no coinciden con el registro de eventos:\n%1\n\nLas tablas se cambiaron sin pasar "
               "por el programa. El programa sigue funcionando; todas las diferencias se ven con "
               "--verify-journal.")
        .arg(found.join(u'\n'));
}

void checkJournalInBackground(sys::Platform &platform, QWidget *window) {
    auto *task = new journal::VerificationTask(platform.databasePath(), window);
    QObject::connect(task, &journal::VerificationTask::finished, window,
                     [&platform, window, task](const journal::Verification &result, const QString &error) {
                         task->deleteLater();
                         if (const QString text = journalProblem(result, error); !text.isEmpty()) {
                             platform.messages.postMessage(window, text, {});
                         }
                     });
    task->start();
}

} // namespace stations
