#pragma once

#include "data/Journal.h"
#include "platform/Platform.h"

class QWidget;

namespace stations {

// What a verification found, in Spanish for the operator: a broken chain, or the books that
// differ from the journal (the first few, and how many more). Empty when all is well.
QString journalProblem(const journal::Verification &result, const QString &error);

// Verifies the journal in the background, on a connection of its own, while the shop works.
// A journal that does not verify is told in one posted message; nothing stops for it.
void checkJournalInBackground(sys::Platform &platform, QWidget *window);

} // namespace stations
