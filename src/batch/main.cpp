// vintrel-batch [SCRIPT]: the simulator's panel without a window, driven by a script read from
// SCRIPT or from standard input.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "batch/script.h"

namespace {

// The directory of this executable, where the outside tools are looked for.
std::string ExecutableDirectory(const char* argv0) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path().string();
}

int Run(std::istream& script, const char* argv0) {
    vintrel::BatchRunner runner(std::cout, std::cerr);
    runner.platform().appPath = ExecutableDirectory(argv0);
    return runner.run(script);
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc > 2) {
        std::cerr << "usage: vintrel-batch [SCRIPT]\n";
        return 2;
    }
    if (argc == 2) {
        // Binary mode: the interpreter itself drops the CR of a CRLF line end.
        std::ifstream script(argv[1], std::ios::binary);
        if (!script) {
            std::cerr << "vintrel-batch: cannot open " << argv[1] << '\n';
            return 2;
        }
        return Run(script, argv[0]);
    }
    return Run(std::cin, argv[0]);
}
