// The outside tools: each button's command line and what the program named in it receives once
// the launcher has started it, and the helpers shipped beside the simulator (notepad,
// mpasmwin.exe on gpasm, quemador, upd.exe).
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "assembly.h"
#include "form1/form1.h"
#include "host/process_launch.h"
#include "host/scripted_platform.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const fs::path kHelpers = VINTREL_TEST_APP_DIR;
const std::string kOptions = "/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84";

// A program that writes "[its exact argument text]" and its arguments, a line each, to `mark`,
// whole once complete (launched programs run on their own); its exit status `status`.
std::string Recorder(const fs::path& mark, int status = 0) {
    const std::string m = "'" + mark.string() + "'";
    return std::string("#!/bin/sh\n{ printf '[%s]\\n' \"${") + kArgumentTextVariable +
           "-unset}\"; for a; do printf '%s\\n' \"$a\"; done; } >" + m + ".tmp\n/bin/mv " + m +
           ".tmp " + m + "\nexit " + std::to_string(status) + "\n";
}

std::string WaitAndRead(const fs::path& p) {
    for (int i = 0; i < 1000 && !fs::exists(p); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadFile(p);
}

std::string Q(const fs::path& p) {
    return "'" + p.string() + "'";
}

// Runs a shell command without a display (no helper opens a window unless told); its exit
// status and what it printed.
std::pair<int, std::string> Sh(const std::string& command) {
    TempDir t("vintrel-sh");
    const std::string line = "env -u DISPLAY -u WAYLAND_DISPLAY " + command + " </dev/null >" +
                             Q(t.path() / "log") + " 2>&1";
    const int s = std::system(line.c_str());
    return {WIFEXITED(s) ? WEXITSTATUS(s) : -1, ReadFile(t.path() / "log")};
}

// t/app holding the shipped `helper` and, as its results window, a recorder writing t/window.
fs::path App(const TempDir& t, const char* helper) {
    const fs::path app = t.path() / "app";
    WriteFile(app / "vintrel-resultados", Recorder(t.path() / "window"), true);
    fs::copy_file(kHelpers / helper, app / helper);
    return app;
}

// Keeps the command line the panel asked to start.
struct Recording : ScriptedPlatform {
    void launch(std::string_view line, WindowStyle style) override {
        ScriptedPlatform::launch(line, style);
        launched = line;
    }
    std::string launched;
};

// The program runs on its own at once: in a session of its own, stdin from /dev/null, without
// the simulator's descriptors (200 here) and blocked or ignored signals; and nothing is
// reported started that could not be.
TEST(CommandLines, EachButtonStartsItsProgramWithTheChosenFile) {
    TempDir t("vintrel-tools");
    const fs::path app = t.path() / "Mis programas" / "vintrel  2", mark = t.path() / "mark";
    for (const char* helper : {"notepad", "mpasmwin.exe", "quemador"})
        WriteFile(app / helper, Recorder(mark), true);
    const std::string a = app.string();
    WriteFile(app / "probe",
              // The signals first: the shell clears its mask once it waits for a command.
              "#!/bin/sh\nwhile read -r l; do case $l in SigBlk*|SigIgn*) echo \"$l\";; esac; "
              "done </proc/$$/status >" +
                  Q(mark) +
                  ".sig\nsleep 1\n{ cut -d' ' -f6 /proc/$$/stat; readlink /proc/$$/fd/0; "
                  "ls /proc/$$/fd/200; cat " +
                  Q(mark) + ".sig; } >" + Q(mark) + ".tmp 2>&1\n/bin/mv " + Q(mark) + ".tmp " +
                  Q(mark) + "\n",
              true);
    const struct {
        void (Form1::*click)();
        const char* choice;  // nullptr: the dialog is cancelled
        std::string line;    // the launch, "" for none
        const char* received;
    } cases[] = {
        {&Form1::editar_Click, "/home/Ana/Prueba.ASM",
         R"(launch "notepad /home/Ana/Prueba.ASM" normal)",
         "[/home/Ana/Prueba.ASM]\n/home/Ana/Prueba.ASM\n"},
        {&Form1::editar_Click, "/x/Mis  Fuentes/$(touch y) `z`;a|b>c '*' \"$HOME\".asm",
         R"(launch "notepad /x/Mis  Fuentes/$(touch y) `z`;a|b>c '*' \"$HOME\".asm" normal)",
         "[/x/Mis  Fuentes/$(touch y) `z`;a|b>c '*' \"$HOME\".asm]\n/x/Mis\nFuentes/$(touch\ny)\n"
         "`z`;a|b>c\n'*'\n\"$HOME\".asm\n"},
        {&Form1::editar_Click, nullptr, "", ""},
        {&Form1::ensamblar_Click, "/src/LEEME.txt",
         "launch \"" + a + "/mpasmwin.exe " + kOptions + " /src/LEEME.txt\" minimized",
         "[/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 /src/LEEME.txt]\n/aINHX8M\n/c-\n/l-\n/rDEC\n/w2\n"
         "/PPIC16F84\n/src/LEEME.txt\n"},
        {&Form1::programar_Click, "/pic/a.b/Motor.hEx",
         "launch \"" + a + "/quemador /pic/a.b/Motor\" normal",
         "[/pic/a.b/Motor]\n/pic/a.b/Motor\n"},
        {&Form1::programar_Click, "/pic/motor.hex.bak", "", ""},
        {&Form1::programar_Click, "hex", "", ""},
    };
    const std::string cwd = fs::current_path();
    fs::current_path(t.path());  // where `touch y` or `>c` would land
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice ? c.choice : "(cancelled)");
        Recording p;
        p.appPath = a;
        Form1 f(p);
        p.events.clear();
        if (c.choice) p.pendingChoice = c.choice;
        (f.*c.click)();
        EXPECT_EQ(p.lastFilter,
                  c.click == &Form1::programar_Click
                      ? "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*"
                      : "Archivos ensamblador (*.asm)|*.asm|Todos los archivos (*.*)|*.*");
        if (c.line.empty()) {
            EXPECT_TRUE(p.events.empty());
            continue;
        }
        ASSERT_EQ(p.events, std::vector<std::string>{c.line});
        fs::remove(mark);
        ASSERT_TRUE(LaunchDetached(p.launched, a));
        EXPECT_EQ(WaitAndRead(mark), c.received);
        EXPECT_FALSE(fs::exists("y") || fs::exists("c"));
    }
    fs::current_path(cwd);
    fs::remove(mark);
    ASSERT_EQ(dup2(0, 200), 200);  // without close-on-exec
    struct sigaction ign {
    }, old{};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGUSR1, &ign, &old);
    sigset_t block, saved;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR2);
    sigprocmask(SIG_BLOCK, &block, &saved);
    const auto start = std::chrono::steady_clock::now();
    const bool started = LaunchDetached("probe", a);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    sigaction(SIGUSR1, &old, nullptr);
    close(200);
    ASSERT_TRUE(started);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child left here
    const std::string facts = WaitAndRead(mark);
    EXPECT_NE(facts.rfind(std::to_string(getsid(0)) + "\n", 0), 0u);
    EXPECT_NE(facts.find("\n/dev/null\nls: "), std::string::npos) << facts;
    EXPECT_NE(facts.find("SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n"),
              std::string::npos)
        << facts;

    // Not started: nothing, a program found nowhere (an empty PATH entry is not the current
    // folder), not executable, without an interpreter line (a shell would run it; exec not).
    WriteFile(t.path() / "notexec", "#!/bin/sh\n", false);
    WriteFile(t.path() / "noshebang", "true\n", true);
    WriteFile(t.path() / "here", "#!/bin/sh\n", true);
    const std::string path = getenv("PATH");
    setenv("PATH", "::", 1);
    fs::current_path(t.path());
    for (const char* line : {"", "   ", "here", "./notexec", "./noshebang", "/no/such"})
        EXPECT_FALSE(LaunchDetached(line, app.string())) << line;
    EXPECT_FALSE(LaunchDetached(a + "/", a));
    fs::current_path(cwd);
    setenv("PATH", path.c_str(), 1);
}

// ---------------------------------------------------------------- the helpers

const char* kSource =
    "\tLIST P=16F84\n\t#include <p16f84.inc>\n\t__CONFIG _CP_OFF & _WDT_ON & _XT_OSC\n\torg 0\n"
    "start\tclrf portb\n"  // lower case: assembles only without case sensitivity
    "\tmovlw 10\n"         // 0Ah in decimal radix, 10h in hexadecimal
    "done\tgoto done\n\tend\n";

int Movlw(const fs::path& hex) {
    ScriptedPlatform p;
    Form1 f(p);
    f.carga(hex.string());
    EXPECT_TRUE(p.events.empty() && f.chip.ProgramMemory[0] == 0x0186 && f.chip.WATCHDOG.value());
    return f.chip.ProgramMemory[1];
}

// The maker's options in any order and case, read with gpasm, on the exact path that follows
// them; the HEX file and the listing beside the source, gpasm's messages in the .err file; a
// failed assembly leaves no stale HEX file; its own outputs are never taken for a source.
TEST(Assembler, OptionsOutputsAndErrors) {
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed";
    TempDir t("vintrel-asm");
    const fs::path src = t.path() / "Mis  Fuentes" / "p.asm";
    const std::string base = (t.path() / "Mis  Fuentes" / "p").string();
    WriteFile(src, kSource);
    const auto [status, printed] =
        Sh(std::string(kArgumentTextVariable) + "=" + Q(kOptions + " " + src.string()) + " " +
           Q(kHelpers / "mpasmwin.exe") + " " + kOptions + " " + Q(src));
    ASSERT_EQ(status, 0) << printed;
    EXPECT_EQ(printed,
              "Fuente: " + src.string() +
                  "\nSin errores\nErrores: 0, avisos: 0, mensajes: 0\nFichero HEX escrito: " +
                  base + ".hex\nListado: " + base + ".lst\n");
    EXPECT_EQ(Movlw(base + ".hex"), 0x300A);
    EXPECT_NE(ReadFile(base + ".lst").find("\nstart "), std::string::npos);
    const std::pair<const char*, int> cases[] = {
        {"/PPic16f84 /W2 /RoCt /C- /Ainhx8m", 0x3008},
        {"/aINHX8M /c- /w2", 0x3010},    // gpasm's default radix is hexadecimal
        {"/aINHX8M /c+ /rDEC /w2", -1},  // case-sensitive: `portb` is unknown
    };
    for (const auto& [options, movlw] : cases) {
        const auto [s, out] = Sh(Q(kHelpers / "mpasmwin.exe") + " " + options + " " + Q(src));
        EXPECT_EQ(s, movlw < 0 ? 1 : 0) << options << out;
        if (movlw >= 0) {
            EXPECT_EQ(Movlw(base + ".hex"), movlw) << options;
            continue;
        }
        EXPECT_NE(out.find("Error, línea 5: [113] Symbol not previously defined: \"portb\"\n"
                           "No se ha escrito ningún fichero HEX; se ha borrado el anterior: " +
                           base + ".hex\n"),
                  std::string::npos)
            << out;
    }
    EXPECT_FALSE(fs::exists(base + ".hex"));
    EXPECT_NE(ReadFile(base + ".err").find("p.asm:5:Error[113]"), std::string::npos);
    const std::string listing = ReadFile(base + ".lst");
    EXPECT_EQ(Sh(Q(kHelpers / "mpasmwin.exe") + " /c- " + Q(base + ".lst")).first, 2);
    EXPECT_EQ(ReadFile(base + ".lst"), listing);
}

// Hostile files around the source p.asm: nothing of the user's is lost (a file whose text is
// "old" keeps it), nothing hangs, no failure is reported as success. Each name is a FIFO
// ("|fifo"), a link ("->target"), a folder (ending in '/') or a file.
TEST(Assembler, HostileFiles) {
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed";
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> said;  // parts of the report
    } cases[] = {
        {"no source",
         {{"p.hex", "old"}},
         {"No se ha podido ensamblar: no existe el fichero fuente\nErrores: 0"}},
        {"the source is a FIFO",
         {{"p.asm", "|fifo"}, {"p.hex", "old"}},
         {"No se ha podido ensamblar: el fuente no es un fichero normal\n"}},
        {"an include that never ends",
         {{"p.asm", "\tinclude \"w.inc\"\n\tend\n"}, {"w.inc", "|fifo"}},
         {"No se ha podido ensamblar: gpasm no ha terminado en 1 s y se ha detenido\n"}},
        {"a folder where the HEX file goes",
         {{"p.asm", "\torg 0\ndone\tgoto done\n\tend\n"}, {"p.hex/", ""}},
         {"No se ha podido escribir el fichero HEX\n", "p.hex: es una carpeta\n"}},
        {"SOURCE.err links to another file",
         {{"p.asm", "\tgoto nowhere\n\tend\n"}, {"v", "old"}, {"p.err", "->v"}},
         {"Con errores\nErrores: 1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir t("vintrel-asm");
        for (const auto& [name, text] : c.files) {
            const fs::path p = t.path() / name;
            if (text == "|fifo")
                ASSERT_EQ(mkfifo(p.c_str(), 0600), 0);
            else if (text.rfind("->", 0) == 0)
                fs::create_symlink(text.substr(2), p);
            else if (name.back() == '/')
                fs::create_directories(p);
            else
                WriteFile(p, text);
        }
        tools::AssemblerOptions options;
        options.source = (t.path() / "p.asm").string();
        options.processor = "p16f84";
        options.timeLimit = std::chrono::milliseconds(1000);
        const tools::AssemblyOutcome o = tools::Assemble(options);
        EXPECT_FALSE(o.ok);
        for (const std::string& part : c.said)
            EXPECT_NE(ReportText(o).find(part), std::string::npos) << ReportText(o);
        for (const auto& [name, text] : c.files)
            EXPECT_TRUE(text != "old" || ReadFile(t.path() / name) == "old") << name;
    }
}

// An outcome longer than any one argument may be (128 KiB) reaches the results window whole.
TEST(Assembler, HandsAHugeOutcomeToTheWindow) {
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed";
    TempDir t("vintrel-asm");
    App(t, "mpasmwin.exe");
    WriteFile(t.path() / "app/vintrel-resultados", "#!/bin/sh\nwc -c >" + Q(t.path() / "n") + "\n",
              true);
    WriteFile(t.path() / "p.asm", "\tgoto " + std::string(200000, 'a') + "\n\tend\n");
    EXPECT_EQ(Sh("DISPLAY=:99 " + Q(t.path() / "app/mpasmwin.exe") + " /c- /PPIC16F84 " +
                 Q(t.path() / "p.asm"))
                  .first,
              0);  // the stand-in window's status
    EXPECT_GT(std::atol(ReadFile(t.path() / "n").c_str()), 200000);
}

// The programmer without a command says what it would run (in a window on a desktop); with
// one it hands over the HEX file as it is spelt.
TEST(Programmer, NamesTheFileOrHandsItOver) {
    TempDir t("vintrel-prog");
    const fs::path app = App(t, "quemador"), hex = t.path() / "Mis Pic" / "Motor.HEX";
    WriteFile(t.path() / "burn", Recorder(t.path() / "burned"), true);
    WriteFile(hex, ":00000001FF\n");
    const std::string motor = " " + Q(app / "quemador") + " " + Q(t.path() / "Mis Pic" / "Motor");
    EXPECT_EQ(Sh("DISPLAY=:99" + motor).first, 1);
    EXPECT_NE(ReadFile(t.path() / "window")
                  .find("[unset]\n--aviso\nvintrel - Programar\nNo hay ningún programador "
                        "configurado.\nEl fichero que se grabaría es:\n  " +
                        hex.string()),
              std::string::npos);
    EXPECT_EQ(
        Sh("VINTREL_PROGRAMMER=" + Q((t.path() / "burn").string() + " --chip 16f84") + motor).first,
        0);
    EXPECT_EQ(ReadFile(t.path() / "burned"), "[unset]\n--chip\n16f84\n" + hex.string() + "\n");
}

// The editor: $VISUAL or $EDITOR in a terminal when set, else the desktop's handler, else a
// graphical editor, else a notice of what to install (a terminal, when an editor is set).
TEST(Editor, TriesTheEditorSetTheDesktopAnEditorThenSaysWhatToInstall) {
    const struct {
        std::vector<std::pair<const char*, int>> standIns;  // program, exit status
        const char* env;
        const char* ran;   // the stand-in that opened the file; nullptr: the notice
        const char* head;  // its arguments before the file
    } cases[] = {
        {{{"xdg-open", 0}, {"xterm", 0}}, "EDITOR=vi", "xterm", "-e\nvi\n"},
        {{{"xdg-open", 0}, {"xterm", 0}}, "", "xdg-open", ""},
        {{{"xdg-open", 3}, {"gio", 0}}, "", "gio", "open\n"},
        {{{"xdg-open", 3}, {"gnome-terminal", 0}, {"gedit", 0}},
         "EDITOR='emacs -nw'",
         "gnome-terminal",
         "--\nemacs\n-nw\n"},
        {{{"xfce4-terminal", 0}}, "VISUAL=nano EDITOR=vi", "xfce4-terminal", "-x\nnano\n"},
        {{{"xdg-open", 4}, {"xterm", 0}, {"pluma", 0}, {"mousepad", 0}}, "", "mousepad", ""},
        {{{"xdg-open", 3}}, "", nullptr, nullptr},
        {{{"xdg-open", 3}}, "EDITOR=vi", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.env);
        TempDir t("vintrel-edit");
        const fs::path src = t.path() / "Mis Fuentes" / "Prueba.asm";
        App(t, "notepad");
        for (const auto& [name, status] : c.standIns)
            WriteFile(t.path() / "bin" / name, Recorder(t.path() / name, status), true);
        WriteFile(src, kSource);
        const auto [status, printed] =
            Sh("-u VISUAL -u EDITOR -u TERMINAL PATH=" + Q(t.path() / "bin") + " DISPLAY=:99 " +
               c.env + " " + Q(t.path() / "app" / "notepad") + " " + Q(src));
        EXPECT_EQ(status, c.ran ? 0 : 1) << printed;
        const std::string notice =
            *c.env ? "No se ha encontrado ningún terminal donde abrir el editor vi\n(definido en "
                     "la variable VISUAL o EDITOR) con el fichero:\n  " +
                         src.string() +
                         "\nInstale un terminal, por ejemplo con la orden:\n  sudo apt install "
                         "xterm\n"
                   : "No se ha encontrado ningún editor de textos para abrir el fichero:\n  " +
                         src.string() +
                         "\nInstale un editor de textos, por ejemplo con la orden:\n  sudo apt "
                         "install mousepad\no un terminal (xterm) y defina la variable VISUAL o "
                         "EDITOR con su editor.\n";
        EXPECT_EQ(ReadFile(t.path() / (c.ran ? c.ran : "window")),
                  c.ran ? "[unset]\n" + std::string(c.head) + src.string() + "\n"
                        : "[unset]\n--aviso\nvintrel - Editar\n" + notice);
    }
}

// The updater opens one http(s) address in the browser, whatever the line breaks and the "&".
TEST(Updater, OpensOneHttpAddress) {
    if (!fs::exists(kHelpers / "upd.exe")) GTEST_SKIP() << "built without the window";
    TempDir t("vintrel-upd");
    WriteFile(t.path() / "bin" / "xdg-open", Recorder(t.path() / "opened"), true);
    const std::pair<const char*, const char*> cases[] = {
        {"'http://h/v.deb\n' '&'", "http://h/v.deb\n"},  // nullptr: status 2, nothing opened
        {"'http://h/v.deb\r\n &'", "http://h/v.deb\n"},
        {"'https://h/d?a=1&b=2' '&'", "https://h/d?a=1&b=2\n"},
        {"ftp://h/v.deb '&'", nullptr},
        {"http://h/a b '&'", nullptr},
        {"'&'", nullptr},
    };
    for (const auto& [args, opened] : cases) {
        fs::remove(t.path() / "opened");
        const auto [status, printed] = Sh("PATH=" + Q(t.path() / "bin") + ":/usr/bin:/bin " +
                                          Q(kHelpers / "upd.exe") + " " + args);
        EXPECT_EQ(status, opened ? 0 : 2) << args << printed;
        EXPECT_EQ(ReadFile(t.path() / "opened"), opened ? std::string("[unset]\n") + opened : "");
    }
}

}  // namespace
}  // namespace vintrel
