// vintrel-batch [--strict] [--junit FILE] [--vcd FILE] [SCRIPT...]: the simulator's panel
// without a window, driven by scripts read from files or from standard input.
#include <malloc.h>

#include <filesystem>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "batch/suite.h"

namespace {

// The directory of this executable, where the outside tools are looked for.
std::string ExecutableDirectory(const char* argv0) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) exe = std::filesystem::absolute(argv0, ec);
    return exe.parent_path().string();
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Each script's captured output (up to a few MiB) is freed when its test case is written;
    // without these the allocator hands that memory back and faults it in again for the next
    // script, which doubled the time of output-heavy suites.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Running out of memory is a status like any other failure, never an abort.
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        return vintrel::BatchMain(args, ExecutableDirectory(argv[0]), std::cin, std::cout,
                                  std::cerr);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    std::cout.flush();
    std::cerr << "vintrel-batch: out of memory\n";
    return 2;
}
