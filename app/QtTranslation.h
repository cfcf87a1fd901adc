#pragma once

// Qt ships no Romanian catalogue for its own dialogs (print, page setup,
// font, file chooser, message and input box buttons); ours is compiled at
// build time and carried inside the program.
namespace QtTranslation {

// Installs the catalogue on the running application, before any window is
// made; false when it cannot be loaded (the dialogs then stay in English).
bool install();

} // namespace QtTranslation
