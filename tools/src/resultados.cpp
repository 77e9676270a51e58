// vintrel-resultados: the windows of the helper programs.
//
//   vintrel-resultados --ensamblado ARGS…   the assembler's results (mpasmwin.exe hands them
//                                           over); ends with 0 when it assembled, 1 when not
//   vintrel-resultados --aviso TITLE TEXT   a notice with an OK button (notepad, quemador)
//
// Qt's own texts are in Spanish whatever the locale.

#include <QApplication>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "assembly.h"
#include "qt/spanish_qt.h"
#include "results_window.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    vintrel::tools::AssemblyOutcome outcome;
    const bool results = vintrel::tools::OutcomeFromArguments(args, outcome);
    if (!results && !(args.size() == 3 && args[0] == "--aviso")) {
        std::fputs(
            "uso: vintrel-resultados --aviso TÍTULO TEXTO\n"
            "     vintrel-resultados --ensamblado … (lo usa mpasmwin.exe)\n",
            stderr);
        return 2;
    }
    QApplication app(argc, argv);
    vintrel::InstallSpanishQtTranslations();
    if (results) {
        vintrel::tools::ResultsWindow window(outcome);
        window.exec();
        return outcome.ok ? 0 : 1;
    }
    vintrel::tools::NoticeWindow window(QString::fromStdString(args[1]),
                                        QString::fromStdString(args[2]));
    window.exec();
    return 0;
}
