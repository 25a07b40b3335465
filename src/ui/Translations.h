#pragma once

namespace ui {

// Qt's own texts (standard buttons, context menus, the file and print dialogs) in Spanish like
// the program's, whatever the locale. False when Qt's Spanish file is not installed: they stay
// in English.
bool installSpanishQtTexts();

} // namespace ui
