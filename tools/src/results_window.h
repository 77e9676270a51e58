// The windows of `vintrel-resultados`: the assembler's results, and a notice for the other
// helpers (the editor and the programmer), both in Spanish.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>

#include "assembly.h"

namespace vintrel::tools {

// The assembler's results: the source, the verdict ("Sin errores" on a green band, errors on a
// red one), the counts, one row per error, warning and message (kind, place, gpasm's text; the
// first kShownRows, then how many more), the HEX file written or removed and the listing, and a
// close button.
class ResultsWindow : public QDialog {
  public:
    static constexpr std::size_t kShownRows = 5000;

    explicit ResultsWindow(const AssemblyOutcome& outcome, QWidget* parent = nullptr);
};

// A notice with a title, a plain text (accents and all) and an OK button.
class NoticeWindow : public QDialog {
  public:
    NoticeWindow(const QString& title, const QString& text, QWidget* parent = nullptr);
};

}  // namespace vintrel::tools
