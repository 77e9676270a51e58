// vintrel-resultados: the windows of the helper programs.
//
//   vintrel-resultados --ensamblado         the assembler's results, which mpasmwin.exe hands
//                                           over on standard input; ends with 0 when it
//                                           assembled, 1 when not
//   vintrel-resultados --aviso TITLE TEXT   a notice with an OK button (notepad, quemador)
//
// Qt's own texts are in Spanish whatever the locale.

#include <QApplication>
#include <QString>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "assembly.h"
#include "qt/spanish_qt.h"
#include "results_window.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    vintrel::tools::AssemblyOutcome outcome;
    bool results = false;
    if (args.size() == 1 && args[0] == "--ensamblado") {
        const std::string text{std::istreambuf_iterator<char>(std::cin), {}};
        results = vintrel::tools::OutcomeFromText(text, outcome);
    }
    if (!results && !(args.size() == 3 && args[0] == "--aviso")) {
        std::fputs(
            "uso: vintrel-resultados --aviso TÍTULO TEXTO\n"
            "     vintrel-resultados --ensamblado < RESULTADOS (lo usa mpasmwin.exe)\n",
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
