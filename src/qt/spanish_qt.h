// Qt's own texts (dialog buttons, file dialog labels) in Spanish whatever the user's locale:
// the whole interface is Spanish.
#pragma once

namespace vintrel {

// Installs Qt's Spanish translations (qtbase_es from Qt's translations directory) in the
// running application and makes Spanish (Spain) the default locale; false when the
// translations are not installed (Debian: qt6-translations-l10n).
bool InstallSpanishQtTranslations();

}  // namespace vintrel
