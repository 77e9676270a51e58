// The editor, assembler and programmer buttons, the helper programs shipped beside the
// simulator, and the whole road from a source file to a loaded listing.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "form1/form1.h"
#include "host/process_launch.h"
#include "host/scripted_platform.h"
#include "temp_files.h"

extern char** environ;

namespace vintrel {
namespace {

namespace fs = std::filesystem;

const fs::path kAppDir = VINTREL_TEST_APP_DIR;
const fs::path kExamplesSource = VINTREL_TEST_EXAMPLES_SOURCE;
const fs::path kExamplesBuilt = VINTREL_TEST_EXAMPLES_BUILT;

constexpr const char* kAsmFilter =
    "Archivos ensamblador (*.asm)|*.asm|Todos los archivos (*.*)|*.*";
constexpr const char* kHexFilter =
    "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";

using vintrel::testing::ReadFile;
using vintrel::testing::WriteFile;

class TempDir : public vintrel::testing::TempDir {
  public:
    TempDir() : vintrel::testing::TempDir("vintrel-tools") {}
};

std::set<std::string> Listing(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

struct RunResult {
    int status = -1;
    std::string output;  // stdout and stderr
};

// Runs a program to its end with stdin from /dev/null; `env` entries NAME=value override the
// environment and a bare NAME removes the variable. DISPLAY and WAYLAND_DISPLAY are always
// removed unless given, so no helper opens a dialog.
RunResult RunProgram(std::vector<std::string> argv, std::vector<std::string> env = {}) {
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        auto eq = s.find('=');
        if (eq != std::string::npos) vars[s.substr(0, eq)] = s.substr(eq + 1);
    }
    vars.erase("DISPLAY");
    vars.erase("WAYLAND_DISPLAY");
    for (const auto& e : env) {
        auto eq = e.find('=');
        if (eq == std::string::npos)
            vars.erase(e);
        else
            vars[e.substr(0, eq)] = e.substr(eq + 1);
    }
    std::vector<std::string> envText;
    for (const auto& [k, v] : vars)
        envText.push_back(k + "=" + v);
    std::vector<char*> envp, args;
    for (auto& s : envText)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    for (auto& s : argv)
        args.push_back(s.data());
    args.push_back(nullptr);

    TempDir out;
    const std::string outPath = (out.path() / "out").string();
    RunResult r;
    pid_t pid = fork();
    if (pid == 0) {
        int in = open("/dev/null", O_RDONLY);
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(o, 1);
        dup2(o, 2);
        execve(args[0], args.data(), envp.data());
        _exit(126);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.output = ReadFile(outPath);
    return r;
}

// The assembler helper and the examples need gputils.
#define REQUIRE_GPASM() \
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed"

std::string Helper(const char* name) {
    return (kAppDir / name).string();
}

const std::string kOptions = "/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84";

std::vector<std::string> Words(const std::string& line) {
    return SplitCommandLine(line);
}

// ---------------------------------------------------------------- the buttons

struct ButtonCase {
    const char* name;
    void (Form1::*click)();
    const char* choice;  // nullptr: the dialog is cancelled
    const char* filter;
    const char* ext;
    const char* event;  // nullptr: nothing started
};

const ButtonCase kButtonCases[] = {
    {"editor keeps case", &Form1::editar_Click, "/home/Ana/Fuentes/Prueba.ASM", kAsmFilter, "asm",
     R"(launch "notepad /home/Ana/Fuentes/Prueba.ASM" normal)"},
    {"editor path with blanks", &Form1::editar_Click, "/tmp/Mis Fuentes/a b.asm", kAsmFilter, "asm",
     R"(launch "notepad /tmp/Mis Fuentes/a b.asm" normal)"},
    {"editor cancelled", &Form1::editar_Click, nullptr, kAsmFilter, "asm", nullptr},
    {"assembler", &Form1::ensamblar_Click, "/src/Motor.asm", kAsmFilter, "asm",
     R"(launch "/opt/vintrel/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 /src/Motor.asm" minimized)"},
    {"assembler any file", &Form1::ensamblar_Click, "/src/LEEME.txt", kAsmFilter, "asm",
     R"(launch "/opt/vintrel/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 /src/LEEME.txt" minimized)"},
    {"assembler cancelled", &Form1::ensamblar_Click, nullptr, kAsmFilter, "asm", nullptr},
    {"programmer upper-case extension", &Form1::programar_Click, "/pic/Motor.HEX", kHexFilter,
     "hex", R"(launch "/opt/vintrel/quemador /pic/Motor" normal)"},
    {"programmer mixed-case extension", &Form1::programar_Click, "/pic/a.b/Motor.hEx", kHexFilter,
     "hex", R"(launch "/opt/vintrel/quemador /pic/a.b/Motor" normal)"},
    {"programmer lower case", &Form1::programar_Click, "/Mis Pic/motor.hex", kHexFilter, "hex",
     R"(launch "/opt/vintrel/quemador /Mis Pic/motor" normal)"},
    {"programmer other file", &Form1::programar_Click, "/pic/leeme.txt", kHexFilter, "hex",
     nullptr},
    {"programmer extension not last", &Form1::programar_Click, "/pic/motor.hex.bak", kHexFilter,
     "hex", nullptr},
    {"programmer name without dot", &Form1::programar_Click, "/pic/motorhex", kHexFilter, "hex",
     nullptr},
    {"programmer short name", &Form1::programar_Click, "hex", kHexFilter, "hex", nullptr},
    {"programmer cancelled", &Form1::programar_Click, nullptr, kHexFilter, "hex", nullptr},
};

TEST(ExternalTools, ButtonsAskForTheFileAndStartTheirProgram) {
    for (const auto& c : kButtonCases) {
        SCOPED_TRACE(c.name);
        ScriptedPlatform p;
        Form1 f(p);
        f.chip.ProgramMemory[0] = 0x1234;
        p.events.clear();
        if (c.choice) p.pendingChoice = c.choice;
        (f.*c.click)();
        EXPECT_EQ(p.lastFilter, c.filter);
        EXPECT_EQ(p.lastDefaultExt, c.ext);
        if (c.event)
            EXPECT_EQ(p.events, std::vector<std::string>{c.event});
        else
            EXPECT_TRUE(p.events.empty()) << p.events.front();
        // Starting a tool loads nothing.
        EXPECT_EQ(f.chip.ProgramMemory[0], 0x1234);
    }
}

TEST(ExternalTools, ApplicationPathIsUsedAsItStands) {
    ScriptedPlatform p;
    p.appPath = "/home/Ana/Mis Programas/Vintrel";
    Form1 f(p);
    p.events.clear();
    p.pendingChoice = "/x/Y.asm";
    f.ensamblar_Click();
    p.pendingChoice = "/x/Y.hex";
    f.programar_Click();
    EXPECT_EQ(
        p.events,
        (std::vector<std::string>{
            R"(launch "/home/Ana/Mis Programas/Vintrel/mpasmwin.exe /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 /x/Y.asm" minimized)",
            R"(launch "/home/Ana/Mis Programas/Vintrel/quemador /x/Y" normal)"}));
}

// ---------------------------------------------------------------- mpasmwin.exe

const char* kSource =
    "\tLIST P=16F84\n"
    "\t#include <p16f84.inc>\n"
    "\t__CONFIG _CP_OFF & _WDT_ON & _XT_OSC\n"
    "\torg 0\n"
    "start\tclrf portb\n"  // lower case: assembles only without case sensitivity
    "\tmovlw 10\n"         // 0Ah in decimal radix, 10h in hexadecimal
    "done\tgoto done\n"
    "\tend\n";

std::vector<int> LoadedWords(const fs::path& hex, int count) {
    ScriptedPlatform p;
    Form1 f(p);
    f.carga(hex.string());
    EXPECT_TRUE(std::find_if(p.events.begin(), p.events.end(), [](const std::string& e) {
                    return e.rfind("message", 0) == 0;
                }) == p.events.end());
    return std::vector<int>(f.chip.ProgramMemory.begin(), f.chip.ProgramMemory.begin() + count);
}

TEST(Assembler, WritesTheHexBesideTheSourceAndNothingElse) {
    REQUIRE_GPASM();
    TempDir t;
    const fs::path d = t.path() / "Mis Fuentes PIC";
    WriteFile(d / "Prueba.ASM", kSource);
    // Launched through the simulator's command line, the path arrives split at its blanks.
    RunResult r = RunProgram(
        Words(Helper("mpasmwin.exe") + " " + kOptions + " " + (d / "Prueba.ASM").string()));
    ASSERT_EQ(r.status, 0) << r.output;
    // Without a display the results go to the terminal; the listing stays for vintrel-batch.
    const std::string base = (d / "Prueba").string();
    EXPECT_EQ(r.output, "Fuente: " + base +
                            ".ASM\nSin errores\nErrores: 0, avisos: 0, mensajes: 0\n" +
                            "Fichero HEX escrito: " + base + ".hex\nListado: " + base + ".lst\n");
    EXPECT_EQ(Listing(d), (std::set<std::string>{"Prueba.ASM", "Prueba.hex", "Prueba.lst"}));
    const std::string listing = ReadFile(d / "Prueba.lst");
    EXPECT_NE(listing.find("SYMBOL TABLE"), std::string::npos);
    EXPECT_NE(listing.find("\nstart "), std::string::npos) << "the labels are in the listing";
    EXPECT_EQ(LoadedWords(d / "Prueba.hex", 4), (std::vector<int>{0x0186, 0x300A, 0x2802, 0}));
}

TEST(Assembler, OptionsInAnyOrderAndCase) {
    REQUIRE_GPASM();
    struct Case {
        const char* options;
        int status;
        int movlw;      // the word assembled from `movlw 10`
        bool warnings;  // messages below errors, kept in the .err file of a good assembly
    } cases[] = {
        {"/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84", 0, 0x300A, false},
        {"/PPic16f84 /W2 /RdEc /L- /C- /Ainhx8m", 0, 0x300A, false},
        {"/c- /roct", 0, 0x3008, false},
        {"/aINHX8M /c- /w2", 0, 0x3010, false},  // the default radix is hexadecimal
        // Both the source and the command line name the processor: a warning at /w0 and /w1.
        {"/p16F84 /c- /rHEX", 0, 0x3010, true},
        {"/p16F84 /c- /w1", 0, 0x3010, true},
        {"/aINHX8M /c+ /rDEC /w2", 1, 0, false},  // case-sensitive: `portb` is unknown
        {"/aINHX8M /rDEC /w2", 1, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        TempDir t;
        WriteFile(t.path() / "p.asm", kSource);
        RunResult r = RunProgram(
            Words(Helper("mpasmwin.exe") + " " + c.options + " " + (t.path() / "p.asm").string()));
        ASSERT_EQ(r.status, c.status) << r.output;
        std::set<std::string> files{"p.asm", "p.lst"};
        if (c.status == 0) {
            EXPECT_EQ(LoadedWords(t.path() / "p.hex", 2)[1], c.movlw);
            files.insert("p.hex");
            if (c.warnings) {
                files.insert("p.err");
                EXPECT_NE(ReadFile(t.path() / "p.err").find("Warning"), std::string::npos);
            }
        } else {
            EXPECT_NE(ReadFile(t.path() / "p.err").find("portb"), std::string::npos);
            files.insert("p.err");
        }
        EXPECT_EQ(Listing(t.path()), files);
    }
}

TEST(Assembler, ErrorsGoToTheErrFileAndLeaveNoStaleHex) {
    REQUIRE_GPASM();
    TempDir t;
    const fs::path src = t.path() / "motor.asm";
    const std::vector<std::string> argv =
        Words(Helper("mpasmwin.exe") + " " + kOptions + " " + src.string());
    WriteFile(src, kSource);
    ASSERT_EQ(RunProgram(argv).status, 0);
    ASSERT_TRUE(fs::exists(t.path() / "motor.hex"));

    std::string broken = kSource;
    broken.replace(broken.find("goto done"), 9, "goto nowhere");
    WriteFile(src, broken);
    RunResult r = RunProgram(argv);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(t.path() / "motor.hex"));
    EXPECT_NE(r.output.find("Con errores\nErrores: 1, avisos: 0, mensajes: 0\n"
                            "Error, línea 7: [113] Symbol not previously defined: \"nowhere\"\n"
                            "No se ha escrito ningún fichero HEX; se ha borrado el anterior: " +
                            (t.path() / "motor.hex").string() + "\n"),
              std::string::npos)
        << r.output;
    const std::string err = ReadFile(t.path() / "motor.err");
    EXPECT_NE(err.find("nowhere"), std::string::npos) << err;
    EXPECT_NE(err.find("motor.asm:7"), std::string::npos) << err;

    WriteFile(src, kSource);
    ASSERT_EQ(RunProgram(argv).status, 0);
    EXPECT_TRUE(fs::exists(t.path() / "motor.hex"));
    EXPECT_FALSE(fs::exists(t.path() / "motor.err"));
}

TEST(Assembler, RefusesToOverwriteItsSource) {
    TempDir t;
    for (const char* name : {"x.hex", "x.lst", "x.err"}) {
        WriteFile(t.path() / name, kSource);
        EXPECT_EQ(RunProgram({Helper("mpasmwin.exe"), "/c-", (t.path() / name).string()}).status,
                  2);
        EXPECT_EQ(ReadFile(t.path() / name), kSource);
    }
    EXPECT_EQ(RunProgram({Helper("mpasmwin.exe"), "/c-"}).status, 2);
}

// ---------------------------------------------------------------- quemador and notepad

TEST(Programmer, WithoutAProgrammerSaysSoAndFails) {
    TempDir t;
    WriteFile(t.path() / "motor.hex", ":00000001FF\n");
    RunResult r =
        RunProgram({Helper("quemador"), (t.path() / "motor").string()}, {"VINTREL_PROGRAMMER"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find((t.path() / "motor.hex").string()), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("VINTREL_PROGRAMMER"), std::string::npos) << r.output;
}

TEST(Programmer, HandsTheHexFileToTheConfiguredCommand) {
    TempDir t;
    const fs::path got = t.path() / "got";
    WriteFile(t.path() / "burn",
              "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done > '" + got.string() + "'\n", true);
    const fs::path dir = t.path() / "Mis Pic";
    WriteFile(dir / "Motor.HEX", ":00000001FF\n");
    // The simulator dropped ".HEX"; the programmer finds the file as it is spelt.
    RunResult r =
        RunProgram(Words(Helper("quemador") + " " + (dir / "Motor").string()),
                   {"VINTREL_PROGRAMMER=" + (t.path() / "burn").string() + " --chip 16f84"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(got), "--chip\n16f84\n" + (dir / "Motor.HEX").string() + "\n");

    r = RunProgram({Helper("quemador"), (dir / "Nada").string()},
                   {"VINTREL_PROGRAMMER=" + (t.path() / "burn").string()});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("Nada.hex"), std::string::npos) << r.output;
}

// A script that writes its arguments, one a line, to `marker` and ends with `status`.
std::string Recorder(const fs::path& marker, int status = 0) {
    return "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done > '" + marker.string() + "'\nexit " +
           std::to_string(status) + "\n";
}

// A copy of the helpers in an application directory of their own, with a stand-in for the
// windows program that records what it was asked to show in `window`.
struct AppDir {
    TempDir t;
    fs::path app = t.path() / "app";
    fs::path window = t.path() / "window";
    AppDir() {
        fs::create_directories(app);
        for (const char* helper : {"notepad", "quemador", "mpasmwin.exe"})
            fs::copy_file(kAppDir / helper, app / helper);
        WriteFile(app / "vintrel-resultados", Recorder(window), true);
    }
    std::string helper(const char* name) const { return (app / name).string(); }
};

TEST(Editor, TriesTheDesktopThenATerminalThenAGraphicalEditorThenSaysWhatToInstall) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, int>> standIns;  // program, exit status
        std::vector<std::string> env;
        const char* ran;       // the stand-in that must have opened the file
        const char* argsHead;  // its arguments before the file
    };
    const Case cases[] = {
        {"EDITOR before the desktop's handler",
         {{"xdg-open", 0}, {"xterm", 0}},
         {"EDITOR=vi"},
         "xterm",
         "-e\nvi\n"},
        {"no EDITOR: the desktop's handler", {{"xdg-open", 0}, {"xterm", 0}}, {}, "xdg-open", ""},
        {"xdg-open fails without a desktop: gio",
         {{"xdg-open", 3}, {"gio", 0}},
         {},
         "gio",
         "open\n"},
        {"no handler answers: the editor in a terminal",
         {{"xdg-open", 3}, {"gio", 2}, {"gnome-terminal", 0}, {"xterm", 0}, {"gedit", 0}},
         {"EDITOR=emacs -nw"},
         "gnome-terminal",
         "--\nemacs\n-nw\n"},
        {"VISUAL before EDITOR, konsole",
         {{"konsole", 0}},
         {"VISUAL=nano", "EDITOR=vi"},
         "konsole",
         "-e\nnano\n"},
        {"xfce4-terminal", {{"xfce4-terminal", 0}}, {"EDITOR=vi"}, "xfce4-terminal", "-x\nvi\n"},
        {"x-terminal-emulator first",
         {{"x-terminal-emulator", 0}, {"xterm", 0}},
         {"EDITOR=vi"},
         "x-terminal-emulator",
         "-e\nvi\n"},
        {"xterm last", {{"xterm", 0}}, {"EDITOR=vi"}, "xterm", "-e\nvi\n"},
        {"no EDITOR: a graphical editor",
         {{"xdg-open", 4}, {"xterm", 0}, {"mousepad", 0}},
         {},
         "mousepad",
         ""},
        {"gedit before pluma", {{"pluma", 0}, {"gedit", 0}}, {}, "gedit", ""},
        {"nothing: a notice", {{"xdg-open", 3}}, {}, nullptr, nullptr},
        {"EDITOR without a terminal: a notice", {{"xdg-open", 3}}, {"EDITOR=vi"}, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppDir a;
        const fs::path bin = a.t.path() / "bin";
        fs::create_directories(bin);
        for (const auto& [prog, status] : c.standIns)
            WriteFile(bin / prog, Recorder(a.t.path() / prog, status), true);
        const fs::path src = a.t.path() / "Mis Fuentes" / "Prueba.asm";
        WriteFile(src, kSource);
        std::vector<std::string> env{"PATH=" + bin.string(), "DISPLAY=:99", "VISUAL", "EDITOR",
                                     "TERMINAL"};
        env.insert(env.end(), c.env.begin(), c.env.end());
        RunResult r = RunProgram({a.helper("notepad"), src.string()}, env);
        if (c.ran) {
            EXPECT_EQ(r.status, 0) << r.output;
            EXPECT_EQ(ReadFile(a.t.path() / c.ran), c.argsHead + src.string() + "\n");
            EXPECT_FALSE(fs::exists(a.window));
        } else {
            EXPECT_EQ(r.status, 1);
            const std::string text =
                c.env.empty() ? "No se ha encontrado ningún editor de textos para abrir el "
                                "fichero:\n  " +
                                    src.string() +
                                    "\nInstale un editor de textos, por ejemplo con la orden:\n"
                                    "  sudo apt install mousepad\n"
                                    "o un terminal (xterm) y defina la variable VISUAL o EDITOR "
                                    "con su editor."
                              : "No se ha encontrado ningún terminal donde abrir el editor vi\n"
                                "(definido en la variable VISUAL o EDITOR) con el fichero:\n  " +
                                    src.string() +
                                    "\nInstale un terminal, por ejemplo con la orden:\n"
                                    "  sudo apt install xterm";
            EXPECT_EQ(ReadFile(a.window), "--aviso\nvintrel - Editar\n" + text + "\n");
            EXPECT_NE(r.output.find(text), std::string::npos) << r.output;
        }
    }
}

TEST(Editor, WithoutADesktopOrTerminalSaysSo) {
    TempDir t;
    const fs::path got = t.path() / "got";
    WriteFile(t.path() / "bin" / "xdg-open", Recorder(got), true);
    RunResult r = RunProgram({Helper("notepad"), "/x/a.asm"},
                             {"PATH=" + (t.path() / "bin").string(), "EDITOR=vi", "VISUAL"});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("/x/a.asm"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(got));
}

TEST(Programmer, OnADesktopTheNoticeShowsItsAccents) {
    AppDir a;
    const fs::path hex = a.t.path() / "motor.hex";
    WriteFile(hex, ":00000001FF\n");
    RunResult r = RunProgram({a.helper("quemador"), (a.t.path() / "motor").string()},
                             {"VINTREL_PROGRAMMER", "DISPLAY=:99"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadFile(a.window),
              "--aviso\nvintrel - Programar\nNo hay ningún programador "
              "configurado.\nEl fichero que se grabaría es:\n  " +
                  hex.string() +
                  "\nDefina la variable de entorno VINTREL_PROGRAMMER con la "
                  "orden de su programador;\nse ejecutará como: "
                  "$VINTREL_PROGRAMMER " +
                  hex.string() + "\n");
}

TEST(Assembler, OnADesktopHandsItsResultsToTheWindow) {
    REQUIRE_GPASM();
    AppDir a;
    const fs::path src = a.t.path() / "m.asm";
    WriteFile(src, kSource);
    RunResult r = RunProgram(Words(a.helper("mpasmwin.exe") + " " + kOptions + " " + src.string()),
                             {"DISPLAY=:99"});
    EXPECT_EQ(r.status, 0) << r.output;  // the stand-in window's status
    const std::string base = (a.t.path() / "m").string();
    EXPECT_EQ(ReadFile(a.window),
              "--ensamblado\n" + src.string() + "\n1\n" + base + ".hex\n0\n" + base + ".lst\n\n");
}

// ---------------------------------------------------------------- source to listing

// A platform that really starts what the buttons ask for, as the window's platform does.
class LaunchingPlatform : public ScriptedPlatform {
  public:
    void launch(std::string_view commandLine, WindowStyle style) override {
        ScriptedPlatform::launch(commandLine, style);
        launched.push_back(LaunchDetached(commandLine, applicationPath()));
    }
    std::vector<bool> launched;
};

bool WaitFor(const fs::path& p) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(p)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST(SourceToListing, AssembleButtonThenLoadShowsTheProgram) {
    REQUIRE_GPASM();
    TempDir t;
    const fs::path dir = t.path() / "Ejemplos PIC";
    fs::create_directories(dir);
    fs::copy_file(kExamplesSource / "contador.asm", dir / "Contador.asm");

    LaunchingPlatform p;
    p.appPath = kAppDir.string();
    Form1 f(p);
    p.pendingChoice = (dir / "Contador.asm").string();
    f.ensamblar_Click();
    ASSERT_EQ(p.launched, std::vector<bool>{true});
    ASSERT_TRUE(WaitFor(dir / "Contador.hex"));

    p.events.clear();
    p.pendingChoice = (dir / "Contador.hex").string();
    f.cargar_Click();
    EXPECT_TRUE(p.events.empty()) << p.events.front();
    const char* rows[] = {
        "000\t1683\tBSF 03,5",   "001\t0186\tCLRF 06",  "002\t1283\tBCF 03,5",
        "003\t0186\tCLRF 06",    "004\t018C\tCLRF 0C",  "005\t0A8C\tINCF 0C",
        "006\t080C\tMOVF 0C,W",  "007\t0086\tMOVWF 06", "008\t3A0F\tXORLW 0F",
        "009\t1D03\tBTFSS 03,2", "00A\t2805\tGOTO 005", "00B\t280B\tGOTO 00B",
        "00C\t0000\tNOP",
    };
    ASSERT_EQ(f.prg.count(), kProgramWords);
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i)
        EXPECT_EQ(f.prg.row(i), rows[i]);
    EXPECT_EQ(f.chip.WATCHDOG.value(), 0);  // _WDT_OFF in the configuration word
}

// Sets environment variables for one test (a bare NAME removes one) and restores them.
class ScopedEnv {
  public:
    explicit ScopedEnv(const std::vector<std::string>& vars) {
        for (const auto& v : vars) {
            const auto eq = v.find('=');
            const std::string name = v.substr(0, eq);
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            if (eq == std::string::npos)
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), v.c_str() + eq + 1, 1);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Writes its arguments to `marker` whole, once complete, for programs that run detached.
std::string AtomicRecorder(const fs::path& marker) {
    return "#!/bin/sh\nfor a; do printf '%s\\n' \"$a\"; done > '" + marker.string() +
           ".tmp'\nmv '" + marker.string() + ".tmp' '" + marker.string() + "'\n";
}

TEST(SourceToListing, TwoBlanksInARowNameTheFileTheyName) {
    REQUIRE_GPASM();
    AppDir a;
    const fs::path dir = a.t.path() / "Mis  Fuentes";
    fs::create_directories(dir);
    // The file the user chose, and a decoy whose name has single blanks.
    fs::copy_file(kExamplesSource / "contador.asm", dir / "a  b.asm");
    WriteFile(dir / "a b.asm", "\tgoto nowhere\n\tend\n");
    const fs::path bin = a.t.path() / "bin";
    WriteFile(bin / "xdg-open", AtomicRecorder(a.t.path() / "opened"), true);
    WriteFile(bin / "burn", AtomicRecorder(a.t.path() / "burned"), true);
    WriteFile(a.app / "vintrel-resultados", AtomicRecorder(a.window), true);
    ScopedEnv env({"PATH=" + bin.string() + ":/usr/bin:/bin", "DISPLAY=:99",
                   "VINTREL_PROGRAMMER=" + (bin / "burn").string()});

    LaunchingPlatform p;
    p.appPath = a.app.string();
    Form1 f(p);
    p.pendingChoice = (dir / "a  b.asm").string();
    f.ensamblar_Click();
    p.pendingChoice = (dir / "a  b.asm").string();
    f.editar_Click();
    ASSERT_TRUE(WaitFor(a.window));
    ASSERT_TRUE(WaitFor(a.t.path() / "opened"));
    EXPECT_TRUE(fs::exists(dir / "a  b.hex"));
    EXPECT_TRUE(fs::exists(dir / "a  b.lst"));
    EXPECT_FALSE(fs::exists(dir / "a b.hex"));
    EXPECT_FALSE(fs::exists(dir / "a b.err"));
    std::istringstream window(ReadFile(a.window));
    std::string mode, source, ok;
    std::getline(window, mode);
    std::getline(window, source);
    std::getline(window, ok);
    EXPECT_EQ(source, (dir / "a  b.asm").string());
    EXPECT_EQ(ok, "1");
    EXPECT_EQ(ReadFile(a.t.path() / "opened"), (dir / "a  b.asm").string() + "\n");

    p.pendingChoice = (dir / "a  b.hex").string();
    f.programar_Click();
    ASSERT_TRUE(WaitFor(a.t.path() / "burned"));
    EXPECT_EQ(ReadFile(a.t.path() / "burned"), (dir / "a  b.hex").string() + "\n");
    EXPECT_EQ(p.launched, (std::vector<bool>{true, true, true}));
    // What the simulator asked for is unchanged: the path as chosen after the program's name.
    EXPECT_EQ(p.events.back(),
              "launch \"" + a.helper("quemador") + " " + (dir / "a  b").string() + "\" normal");
}

}  // namespace
}  // namespace vintrel
