// vintrel: the PIC16F84 simulator's window. The start-up window shows first and hands over to
// the front panel after its timer.
#include <cstdio>
#include <cstdlib>

#include <QApplication>

#include "form1/form1.h"
#include "qt/form1_view.h"
#include "qt/form2.h"
#include "qt/qt_platform.h"
#include "qt/spanish_qt.h"

namespace {

bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Without any display Qt would abort with a message about plugins; say plainly what is missing.
bool HaveDisplay() {
    return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (!HaveDisplay()) {
        std::fputs(
            "vintrel: no hay pantalla gráfica: DISPLAY y WAYLAND_DISPLAY no están definidas.\n"
            "vintrel: no graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n",
            stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vintrel"));
    // Qt's dialogs and buttons speak Spanish like the rest of the window, whatever the locale.
    vintrel::InstallSpanishQtTranslations();

    vintrel::QtPlatform platform;
    vintrel::Form1 model(platform);
    vintrel::Form1View view(model, platform);

    // The start-up window is a splash screen, which Qt does not count as a window that keeps
    // the program open: closing the update question (a top-level box) would otherwise end it
    // before the main window has appeared.
    QApplication::setQuitOnLastWindowClosed(false);
    auto* startup = new vintrel::Form2(platform, vintrel::Form2::defaultUpdateUrl(), [&view] {
        view.show();
        view.activateWindow();
        QApplication::setQuitOnLastWindowClosed(true);
    });
    startup->show();
    return QApplication::exec();
}
