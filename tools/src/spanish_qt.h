// Qt's own texts (dialog buttons, file dialog labels) in Spanish whatever the user's locale:
// the whole interface is Spanish.
#pragma once

namespace vintrel {

// Installs Qt's Spanish translations (qtbase_es from Qt's translations directory) in the
// running application; false when they are not installed (Debian: qt6-translations-l10n).
bool InstallSpanishQtTranslations();

}  // namespace vintrel
