// mpasmwin.exe: the simulator's "Ensamblar" button runs
//
//   APPDIR/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 SOURCE
//
// This takes the maker's assembler options and does the work with gputils' gpasm: SOURCE.hex
// and the listing SOURCE.lst beside the source, gpasm's messages in SOURCE.err. The outcome is
// printed (standard output when it assembled, standard error when not) and, on a desktop,
// shown in the results window `vintrel-resultados` beside this program (handed over on its
// standard input), which then ends with this program's status (1 for 127 too).
//
// Exit status: 0 assembled, 1 assembly errors, 2 usage, 127 gpasm missing.

#include <unistd.h>

#include <cerrno>
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

// Replaces this process with the results window, which reads the outcome on its standard input
// from a file no one else can reach; returns only when the window cannot be started.
void ShowWindow(const AssemblyOutcome& o) {
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) return;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    std::string window = (self.parent_path() / "vintrel-resultados").string();
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/mpasmwin-resultados.XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) return;
    unlink(name.c_str());
    const std::string text = OutcomeToText(o);
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) return;
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (lseek(fd, 0, SEEK_SET) != 0 || dup2(fd, STDIN_FILENO) < 0) return;
    close(fd);
    std::string mode = "--ensamblado";
    char* argv[] = {window.data(), mode.data(), nullptr};
    std::fflush(nullptr);
    execv(window.c_str(), argv);
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
