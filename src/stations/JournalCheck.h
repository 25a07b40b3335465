#pragma once

#include "ui/Platform.h"

class QWidget;

namespace stations {

// Verifies the journal in the background, on a connection of its own, while the shop works.
// A journal that does not verify is told in one posted message; nothing stops for it.
void checkJournalInBackground(ui::Platform &platform, QWidget *window);

} // namespace stations
