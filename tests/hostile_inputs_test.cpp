// Hostile files around the assembler helper and vintrel-batch (scripts, report, listing): no
// user's file is lost, nothing hangs or fills memory, no failure is reported as success.
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "assembly.h"
#include "batch/suite.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr const char* kFifo = "|fifo";
using Files = std::vector<std::pair<std::string, std::string>>;

// Each name as a FIFO (kFifo), a link ("->target"), a folder (a name ending in '/') or a file.
void Make(const fs::path& dir, const Files& files) {
    for (const auto& [name, text] : files) {
        const fs::path p = dir / name;
        if (text == kFifo) {
            ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
        } else if (text.rfind("->", 0) == 0) {
            fs::create_symlink(text.substr(2), p);
        } else if (name.back() == '/') {
            fs::create_directories(p);
        } else {
            WriteFile(p, text);
        }
    }
}

#define REQUIRE_GPASM() \
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed"

TEST(HostileInputs, AssemblerHelper) {
    REQUIRE_GPASM();
    const struct {
        const char* what;
        Files files;  // around the source p.asm; a file whose text is "old" keeps it
        std::vector<std::string> said;  // parts of the report
    } cases[] = {
        {"no source",
         {{"p.hex", "old"}},
         {"No se ha podido ensamblar: no existe el fichero fuente\nErrores: 0"}},
        {"the source is a FIFO",
         {{"p.asm", kFifo}, {"p.hex", "old"}},
         {"No se ha podido ensamblar: el fuente no es un fichero normal\n"}},
        {"an include that never ends",
         {{"p.asm", "\tinclude \"w.inc\"\n\tend\n"}, {"w.inc", kFifo}},
         {"No se ha podido ensamblar: gpasm no ha terminado en 1 s y se ha detenido\n"}},
        {"a folder where the HEX file goes",
         {{"p.asm", "\torg 0\ndone\tgoto done\n\tend\n"}, {"p.hex/", ""}},
         {"No se ha podido escribir el fichero HEX\n", "p.hex: es una carpeta\n"}},
        {"SOURCE.err links to another file",
         {{"p.asm", "\tgoto nowhere\n\tend\n"}, {"v", "old"}, {"p.err", "->v"}},
         {"Con errores\nErrores: 1"}},
        {"a line of 50,000 characters",
         {{"p.asm", "\tgoto " + std::string(50000, 'a') + "\n\tend\n"}},
         {"Con errores\nErrores: 1", "\"" + std::string(50000, 'a') + "\"\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        Make(t.path(), c.files);
        tools::AssemblerOptions options;
        options.source = (t.path() / "p.asm").string();
        options.processor = "p16f84";
        options.timeLimit = std::chrono::milliseconds(1000);
        const tools::AssemblyOutcome o = tools::Assemble(options);
        EXPECT_FALSE(o.ok);
        for (const std::string& part : c.said)
            EXPECT_NE(ReportText(o).find(part), std::string::npos) << ReportText(o).substr(0, 500);
        for (const auto& [name, text] : c.files)
            EXPECT_TRUE(text != "old" || ReadFile(t.path() / name) == "old") << name;
    }
}

// A message longer than any one argument may be (128 KiB) still reaches the results window.
TEST(HostileInputs, AssemblerHelperHandsAHugeOutcomeToTheWindow) {
    REQUIRE_GPASM();
    TempDir t;
    fs::create_directories(t.path() / "app");
    fs::copy_file(fs::path(VINTREL_TEST_APP_DIR) / "mpasmwin.exe", t.path() / "app/mpasmwin.exe");
    WriteFile(t.path() / "app/vintrel-resultados",
              "#!/bin/sh\nwc -c > '" + (t.path() / "window").string() + "'\n", true);
    WriteFile(t.path() / "p.asm", "\tgoto " + std::string(200000, 'a') + "\n\tend\n");
    const std::string command = "DISPLAY=:99 '" + (t.path() / "app/mpasmwin.exe").string() +
                                "' /c- /PPIC16F84 '" + (t.path() / "p.asm").string() +
                                "' >/dev/null 2>&1";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 0);  // the stand-in window's status
    EXPECT_GT(std::atol(ReadFile(t.path() / "window").c_str()), 200000);
}

TEST(HostileInputs, Runner) {
    const Files listing = {
        {"p.hex", ":00000001FF\n"}, {"p.lst", kFifo}, {"n.vbs", "load p.hex\nshow REG count\n"}};
    const struct {
        const char* what;
        Files files;       // a.vbs must keep its text
        const char* args;  // blank-separated; file names are in the test's folder
        int status;
        const char* err;  // a part of standard error
    } cases[] = {
        {"a script as the report",
         {{"a.vbs", "step\n"}, {"b.vbs", "step\n"}},
         "--junit a.vbs b.vbs",
         2,
         "a.vbs: it is not a JUnit report of vintrel-batch\n"},
        {"the report named as a script too",
         {{"a.vbs", "step\n"}},
         "--junit a.vbs a.vbs",
         2,
         "it is one of the scripts\n"},
        {"a folder as the report", {{"d/", ""}}, "--junit d -", 2, "d: it is a folder\n"},
        {"a FIFO as the script", {{"f.vbs", kFifo}}, "f.vbs", 2, "f.vbs: it is not a regular file"},
        {"a line past 1 MiB",
         {{"l.vbs", "step " + std::string(2 << 20, '1')}},
         "l.vbs",
         2,
         "error at line 1: the line is longer than 1048576 bytes\n"},
        {"a byte-order mark", {{"m.vbs", "\xEF\xBB\xBFstep\n"}}, "m.vbs", 0, ""},
        {"a long expected text",
         {{"e.vbs", "expect REGW " + std::string(5000, 'x')}},
         "e.vbs",
         1,
         ""},
        {"a FIFO as the listing", listing, "n.vbs", 2,
         "unknown name \"count\": the listing p.lst was not read: it is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t;
        Make(t.path(), c.files);
        std::vector<std::string> args;
        std::istringstream words(c.args);
        for (std::string w; words >> w;)
            args.push_back(w[0] == '-' ? w : (t.path() / w).string());
        std::istringstream in;
        std::ostringstream out, err;
        EXPECT_EQ(BatchMain(args, "/opt", in, out, err), c.status) << err.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
        EXPECT_LT(out.str().size() + err.str().size(), 1000u);  // nothing huge echoed
        EXPECT_TRUE(!fs::exists(t.path() / "a.vbs") || ReadFile(t.path() / "a.vbs") == "step\n");
    }
}

// Each test case is on disk beside the report as soon as its script has ended: the report's
// memory does not grow with the number of scripts.
TEST(HostileInputs, RunnerWritesEachTestCaseAsItsScriptEnds) {
    TempDir t;
    WriteFile(t.path() / "a.vbs", "step\n");
    WriteFile(t.path() / "b.vbs", "step\n");
    // Standard input, the last script, looks at the report's new file when it is read.
    struct Peek : std::streambuf {
        fs::path dir;
        std::string seen;
        int_type underflow() override {
            for (const auto& e : fs::directory_iterator(dir))
                if (e.path().filename().string().rfind("r.xml.", 0) == 0)
                    seen += ReadFile(e.path());
            return traits_type::eof();
        }
    } peek;
    peek.dir = t.path();
    std::istream in(&peek);
    std::ostringstream out, err;
    const std::string dir = t.path().string();
    EXPECT_EQ(BatchMain({"--junit", dir + "/r.xml", dir + "/a.vbs", dir + "/b.vbs", "-"}, "/opt",
                        in, out, err),
              0);
    EXPECT_NE(peek.seen.find("b.vbs"), std::string::npos) << peek.seen;
    EXPECT_NE(ReadFile(t.path() / "r.xml").find("tests=\"3\""), std::string::npos);
}

}  // namespace
}  // namespace vintrel
