#include "stations/JournalCheck.h"

#include "data/JournalTask.h"

#include <QWidget>

namespace stations {

void checkJournalInBackground(ui::Platform &platform, QWidget *window) {
    auto *task = new journal::VerificationTask(platform.databasePath(), window);
    QObject::connect(task, &journal::VerificationTask::finished, window,
                     [&platform, window, task](const journal::Verification &result, const QString &error) {
                         task->deleteLater();
                         if (result.ok && error.isEmpty()) {
                             return;
                         }
                         platform.messages.postMessage(
                             window,
                             QStringLiteral("El registro de eventos no verifica: %1. El programa sigue funcionando y "
                                            "sigue anotando; el corte queda a la vista de --verify-journal.")
                                 .arg(error.isEmpty() ? result.problem : error),
                             {});
                     });
    task->start();
}

} // namespace stations
