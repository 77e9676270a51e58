// mpasmwin.exe: the simulator's "Ensamblar" button runs
//
//   APPDIR/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 SOURCE
//
// This takes the maker's assembler options and does the work with gputils' gpasm: SOURCE.hex
// and the listing SOURCE.lst beside the source, gpasm's messages in SOURCE.err. The outcome is
// printed (standard output when it assembled, standard error when not) and, on a desktop,
// shown in the results window `vintrel-resultados` beside this program, which then ends with
// this program's status (1 for 127 too).
//
// Exit status: 0 assembled, 1 assembly errors, 2 usage, 127 gpasm missing.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "assembly.h"
#include "host/process_launch.h"

namespace {

namespace fs = std::filesystem;
using namespace vintrel::tools;

bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

// Replaces this process with the results window; returns only when it cannot be started.
void ShowWindow(const AssemblyOutcome& o) {
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) return;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    std::string window = (self.parent_path() / "vintrel-resultados").string();
    std::vector<std::string> words{window};
    for (auto& a : OutcomeToArguments(o))
        words.push_back(std::move(a));
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    execv(window.c_str(), argv.data());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const char* exact = std::getenv(vintrel::kArgumentTextVariable);
    const std::string exactText = exact ? exact : "";
    AssemblerOptions options = ParseAssemblerArguments(args, exact ? &exactText : nullptr);
    unsetenv(vintrel::kArgumentTextVariable);

    if (options.source.empty()) {
        std::fputs("uso: mpasmwin.exe [/a..] [/c-] [/l-] [/r..] [/w.] [/p..] fichero.asm\n",
                   stderr);
        return 2;
    }
    const fs::path src = options.source;
    for (const char* ext : {".hex", ".err", ".lst"}) {
        if (src.extension() == ext) {
            std::fprintf(stderr,
                         "mpasmwin.exe: %s: el fichero fuente no puede llamarse .hex, .err ni "
                         ".lst\n",
                         options.source.c_str());
            return 2;
        }
    }

    const AssemblyOutcome o = Assemble(options);
    const int status = o.ok ? 0 : (o.problem.rfind("no se encuentra gpasm", 0) == 0 ? 127 : 1);
    std::fputs(ReportText(o).c_str(), o.ok ? stdout : stderr);
    ShowWindow(o);
    return status;
}
