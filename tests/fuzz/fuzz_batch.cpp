// The vintrel-batch script reader fed any text. A script ends with one of its three statuses;
// the panel it drove keeps its invariants.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "batch/script.h"
#include "fuzz/invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Keep runs short and leave the file system alone.
    if (text.find("run") != std::string::npos || text.find("ejecutar") != std::string::npos ||
        text.find("load") != std::string::npos || text.find("choose") != std::string::npos ||
        text.find("fin") != std::string::npos || text.find("cargar") != std::string::npos ||
        text.find("step") != std::string::npos)
        return -1;
    std::istringstream in(text);
    std::ostringstream out, err;
    vintrel::BatchRunner runner(out, err);
    const int status = runner.run(in);
    if (status < 0 || status > 2) std::abort();
    if ((status == 2) != (err.str().rfind("error at line ", 0) == 0)) std::abort();
    if (!vintrel::fuzz::CheckCells(runner.form()).empty()) std::abort();
    return 0;
}
