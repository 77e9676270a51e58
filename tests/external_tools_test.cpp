// The outside tools: each button's command line and what the program named in it receives once
// the launcher has started it, the launcher's guarantees, and the helpers shipped beside the
// simulator (notepad, mpasmwin.exe on gpasm, quemador, upd.exe).
#include <signal.h>
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
#include "update/update_file.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const fs::path kHelpers = VINTREL_TEST_APP_DIR;
const std::string kOptions = "/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84";

// A program that writes "[its exact argument text]" and its arguments, a line each, to `mark`
// (whole, once complete: launched programs run detached) and ends with `status`.
std::string Recorder(const fs::path& mark, int status = 0) {
    return "#!/bin/sh\n{ printf '[%s]\\n' \"${VINTREL_ARGUMENT_TEXT-unset}\"; for a; do printf "
           "'%s\\n' \"$a\"; done; } > '" +
           mark.string() + ".tmp'\n/bin/mv '" + mark.string() + ".tmp' '" + mark.string() +
           "'\nexit " + std::to_string(status) + "\n";
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
    const int s = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY " + command + " </dev/null >" +
                               Q(t.path() / "log") + " 2>&1")
                                  .c_str());
    return {WIFEXITED(s) ? WEXITSTATUS(s) : -1, ReadFile(t.path() / "log")};
}

// ---------------------------------------------------------------- the command lines

// Keeps the command line the panel asked to start.
class Recording : public ScriptedPlatform {
  public:
    void launch(std::string_view line, WindowStyle style) override {
        ScriptedPlatform::launch(line, style);
        launched = line;
    }
    std::string launched;
};

TEST(CommandLines, EachButtonStartsItsProgramWithTheChosenFile) {
    TempDir t("vintrel-tools");
    const fs::path app = t.path() / "Mis programas" / "vintrel  2";
    for (const char* helper : {"notepad", "mpasmwin.exe", "quemador", "upd.exe"})
        WriteFile(app / helper, Recorder(t.path() / "mark"), true);
    const std::string a = app.string();
    struct Case {
        void (Form1::*click)();
        const char* choice;  // nullptr: the dialog is cancelled
        std::string line;    // the launch, "" for none
        const char* received;
    };
    const Case cases[] = {
        {&Form1::editar_Click, "/home/Ana/Prueba.ASM",
         R"(launch "notepad /home/Ana/Prueba.ASM" normal)",
         "[/home/Ana/Prueba.ASM]\n/home/Ana/Prueba.ASM\n"},
        {&Form1::editar_Click, "/x/Mis  Fuentes/a b.asm",
         R"(launch "notepad /x/Mis  Fuentes/a b.asm" normal)",
         "[/x/Mis  Fuentes/a b.asm]\n/x/Mis\nFuentes/a\nb.asm\n"},
        {&Form1::editar_Click, "/x/$(touch y) `z`;a|b>c '*' \"$HOME\".asm",
         R"(launch "notepad /x/$(touch y) `z`;a|b>c '*' \"$HOME\".asm" normal)",
         "[/x/$(touch y) `z`;a|b>c '*' "
         "\"$HOME\".asm]\n/x/$(touch\ny)\n`z`;a|b>c\n'*'\n\"$HOME\".asm\n"},
        {&Form1::editar_Click, nullptr, "", ""},
        {&Form1::ensamblar_Click, "/src/LEEME.txt",
         "launch \"" + a + "/mpasmwin.exe " + kOptions + " /src/LEEME.txt\" minimized",
         "[/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 /src/LEEME.txt]\n/aINHX8M\n/c-\n/l-\n/rDEC\n/w2\n"
         "/PPIC16F84\n/src/LEEME.txt\n"},
        {&Form1::programar_Click, "/pic/a.b/Motor.hEx",
         "launch \"" + a + "/quemador /pic/a.b/Motor\" normal",
         "[/pic/a.b/Motor]\n/pic/a.b/Motor\n"},
        {&Form1::programar_Click, "/pic/leeme.txt", "", ""},
        {&Form1::programar_Click, "/pic/motor.hex.bak", "", ""},
        {&Form1::programar_Click, "hex", "", ""},
        {&Form1::programar_Click, nullptr, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice ? c.choice : "(cancelled)");
        Recording p;
        p.appPath = a;
        Form1 f(p);
        f.chip.ProgramMemory[0] = 0x1234;
        p.events.clear();
        if (c.choice) p.pendingChoice = c.choice;
        (f.*c.click)();
        EXPECT_EQ(p.lastFilter,
                  c.click == &Form1::programar_Click
                      ? "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*"
                      : "Archivos ensamblador (*.asm)|*.asm|Todos los archivos (*.*)|*.*");
        EXPECT_EQ(f.chip.ProgramMemory[0], 0x1234);  // starting a tool loads nothing
        if (c.line.empty()) {
            EXPECT_TRUE(p.events.empty());
            continue;
        }
        ASSERT_EQ(p.events, std::vector<std::string>{c.line});
        fs::remove(t.path() / "mark");
        const std::string cwd = fs::current_path();
        fs::current_path(t.path());  // where `touch y` or `>c` would land
        ASSERT_TRUE(LaunchDetached(p.launched, a));
        fs::current_path(cwd);
        EXPECT_EQ(WaitAndRead(t.path() / "mark"), c.received);
        EXPECT_FALSE(fs::exists(t.path() / "y") || fs::exists(t.path() / "c"));
    }
    // The updater's: the address with its final line break, then " &".
    const std::string upd = UpdaterCommandLine(a, "http://h/v.deb\n");
    EXPECT_EQ(upd, a + "/upd.exe http://h/v.deb\n &");
    fs::remove(t.path() / "mark");
    ASSERT_TRUE(LaunchDetached(upd, a));
    EXPECT_EQ(WaitAndRead(t.path() / "mark"), "[http://h/v.deb\n &]\nhttp://h/v.deb\n\n&\n");
}

// ---------------------------------------------------------------- the launcher

TEST(Launcher, FindsProgramsInTheApplicationDirectoryThenOnPathNeverInTheCurrentOne) {
    TempDir t("vintrel-find");
    const fs::path app = t.path() / "app", bin = t.path() / "bin";
    WriteFile(app / "tool", "", true);
    WriteFile(bin / "tool", "", true);
    WriteFile(app / "plain", "", false);  // not executable
    WriteFile(bin / "plain", "", true);
    fs::create_directories(app / "dir");  // no program
    WriteFile(bin / "dir", "", true);
    WriteFile(t.path() / "here", "", true);
    const std::string path = getenv("PATH"), cwd = fs::current_path();
    setenv("PATH", (":" + bin.string() + "::").c_str(), 1);  // empty entries are no folder
    fs::current_path(t.path());
    EXPECT_EQ(FindProgram("tool", app.string() + "/"), (app / "tool").string());
    EXPECT_EQ(FindProgram("tool", ""), (bin / "tool").string());
    EXPECT_EQ(FindProgram("plain", app.string()), (bin / "plain").string());
    EXPECT_EQ(FindProgram("dir", app.string()), (bin / "dir").string());
    EXPECT_EQ(FindProgram("here", app.string()), "");
    EXPECT_EQ(FindProgram("./here", app.string()), "./here");  // a path is taken as it stands
    EXPECT_EQ(FindProgram("./tool", app.string()), "");
    fs::current_path(cwd);
    setenv("PATH", path.c_str(), 1);
}

// Detached at once: its own session, no child left here, stdin from /dev/null, no descriptor,
// blocked or ignored signal of the simulator; nothing reported started that could not be.
TEST(Launcher, StartsDetachedAndCleanOrReportsFailure) {
    TempDir t("vintrel-launch");
    const fs::path mark = t.path() / "mark";
    WriteFile(t.path() / "probe",
              "#!/bin/sh\nsleep 1\n{ cut -d' ' -f6 /proc/$$/stat; readlink /proc/$$/fd/0\n"
              "  [ -e /proc/$$/fd/200 ] && echo fd200\n  grep -E '^Sig(Blk|Ign)' /proc/$$/status\n"
              "} > '" +
                  mark.string() + ".tmp'\nmv '" + mark.string() + ".tmp' '" + mark.string() + "'\n",
              true);
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
    const bool ok = LaunchDetached("probe", t.path().string());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    sigaction(SIGUSR1, &old, nullptr);
    close(200);
    ASSERT_TRUE(ok);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // no child of ours
    const std::string sid = std::to_string(getsid(0));
    EXPECT_NE(WaitAndRead(mark).rfind(sid + "\n", 0), 0u);
    EXPECT_NE(ReadFile(mark).find("\n/dev/null\nSigBlk"), std::string::npos) << ReadFile(mark);
    EXPECT_NE(ReadFile(mark).find("SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n"),
              std::string::npos)
        << ReadFile(mark);

    WriteFile(t.path() / "notexec", "#!/bin/sh\n", false);
    WriteFile(t.path() / "noshebang", "true\n", true);  // a shell would run it; exec does not
    WriteFile(t.path() / "badinterp", "#!/nonexistent/sh\n", true);
    for (const char* line :
         {"", "   ", "no-such-program x", "notexec", "noshebang", "badinterp", "/no/such/prog"})
        EXPECT_FALSE(LaunchDetached(line, t.path().string())) << line;
    EXPECT_FALSE(LaunchDetached(t.path().string() + "/", t.path().string()));
}

// ---------------------------------------------------------------- the helpers

const char* kSource =
    "\tLIST P=16F84\n\t#include <p16f84.inc>\n\t__CONFIG _CP_OFF & _WDT_ON & _XT_OSC\n\torg 0\n"
    "start\tclrf portb\n"  // lower case: assembles only without case sensitivity
    "\tmovlw 10\n"         // 0Ah in decimal radix, 10h in hexadecimal
    "done\tgoto done\n\tend\n";

std::vector<int> Loaded(const fs::path& hex) {
    ScriptedPlatform p;
    Form1 f(p);
    f.carga(hex.string());
    EXPECT_TRUE(p.events.empty()) << p.events.front();
    return {f.chip.ProgramMemory.begin(), f.chip.ProgramMemory.begin() + 3};
}

#define REQUIRE_GPASM() \
    if (!VINTREL_TEST_HAVE_GPASM) GTEST_SKIP() << "gpasm (gputils) is not installed"

// The maker's options in any order and case, read with gpasm; the HEX file and the listing
// beside the source, gpasm's messages in the .err file; a failed assembly leaves no stale HEX.
TEST(Assembler, OptionsOutputsAndErrors) {
    REQUIRE_GPASM();
    TempDir t("vintrel-asm");
    const fs::path d = t.path() / "Mis  Fuentes", src = d / "p.asm";
    const std::string run = "VINTREL_ARGUMENT_TEXT=" + Q(kOptions + " " + src.string()) + " " +
                            Q(kHelpers / "mpasmwin.exe") + " " + kOptions + " " + Q(src);
    WriteFile(src, kSource);
    auto [status, printed] = Sh(run);
    ASSERT_EQ(status, 0) << printed;
    const std::string base = (d / "p").string();
    EXPECT_EQ(printed, "Fuente: " + src.string() +
                           "\nSin errores\nErrores: 0, avisos: 0, mensajes: 0\n" +
                           "Fichero HEX escrito: " + base + ".hex\nListado: " + base + ".lst\n");
    EXPECT_EQ(Loaded(base + ".hex"), (std::vector<int>{0x0186, 0x300A, 0x2802}));
    EXPECT_NE(ReadFile(base + ".lst").find("\nstart "), std::string::npos);
    const struct {
        const char* options;
        int status;
        int movlw;
    } cases[] = {
        {"/PPic16f84 /W2 /RoCt /C- /Ainhx8m", 0, 0x3008},
        {"/aINHX8M /c- /w2", 0, 0x3010},   // gpasm's default radix is hexadecimal
        {"/aINHX8M /c+ /rDEC /w2", 1, 0},  // case-sensitive: `portb` is unknown
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        std::tie(status, printed) =
            Sh(Q(kHelpers / "mpasmwin.exe") + " " + c.options + " " + Q(src));
        ASSERT_EQ(status, c.status) << printed;
        if (c.status == 0) {
            EXPECT_EQ(Loaded(base + ".hex")[1], c.movlw);
        }
    }
    EXPECT_FALSE(fs::exists(base + ".hex"));
    EXPECT_NE(printed.find("Error, línea 5: [113] Symbol not previously defined: \"portb\"\n"
                           "No se ha escrito ningún fichero HEX; se ha borrado el anterior: " +
                           base + ".hex\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(ReadFile(base + ".err").find("p.asm:5:Error[113]"), std::string::npos);
    // Its own outputs are never taken for a source.
    WriteFile(base + ".lst", kSource);
    EXPECT_EQ(Sh(Q(kHelpers / "mpasmwin.exe") + " /c- " + Q(base + ".lst")).first, 2);
    EXPECT_EQ(ReadFile(base + ".lst"), kSource);
}

TEST(Assembler, ArgumentsTheExactTextAndTheResultsWindow) {
    using V = std::vector<std::string>;
    const struct {
        V args;
        const char* exact;  // nullptr: none given
        const char* source;
    } cases[] = {
        {{"/p16f84", "/Ainhx32", "/pic/x.asm"}, nullptr, "/pic/x.asm"},  // /pic is no option
        {{"/c-", "/x/a", "b.asm"}, nullptr, "/x/a b.asm"},
        {{"/c-", "/x/a", "b.asm"}, "/c- /x/a  b.asm  ", "/x/a  b.asm  "},
        {{"/c-", "/x/a", "b.asm"}, "/c- /x/other  b.asm", "/x/a b.asm"},  // not the words' text
    };
    for (const auto& c : cases) {
        const std::string exact = c.exact ? c.exact : "";
        EXPECT_EQ(tools::ParseAssemblerArguments(c.args, c.exact ? &exact : nullptr).source,
                  c.source);
    }
    const auto o =
        tools::ParseAssemblerArguments({"/p16f84", "/Ainhx32", "/RoCt", "/C+", "a"}, nullptr);
    EXPECT_EQ(o.format + o.radix + o.processor, "inhx32octp16f84");
    EXPECT_FALSE(o.caseInsensitive);

    tools::AssemblyOutcome failed;
    failed.source = "/x/a.asm";
    failed.hex = "/x/a.hex";
    failed.messages = tools::ParseGpasmOutput(
        "/x/a.asm:1:Warning[215] Processor superseded by command line.\n"
        "/x/inc.inc:3:Error[113]   Symbol not previously defined: \"zz\"\r\n\n"
        "/x/a.asm:40:Message[302] Register in operand not in bank 0.\nnonexist.asm: No such file");
    EXPECT_EQ(tools::ReportText(failed),
              "Fuente: /x/a.asm\nCon errores\nErrores: 1, avisos: 1, mensajes: 1\n"
              "Aviso, línea 1: [215] Processor superseded by command line.\n"
              "Error, inc.inc, línea 3: [113] Symbol not previously defined: \"zz\"\n"
              "Mensaje, línea 40: [302] Register in operand not in bank 0.\n"
              "Nota: nonexist.asm: No such file\nNo se ha escrito ningún fichero HEX.\n");
    // The outcome crosses to the results window whole, and nothing else is taken for one.
    tools::AssemblyOutcome back;
    V args = tools::OutcomeToArguments(failed);
    ASSERT_TRUE(tools::OutcomeFromArguments(args, back));
    EXPECT_EQ(tools::ReportText(back), tools::ReportText(failed));
    args.pop_back();
    EXPECT_FALSE(tools::OutcomeFromArguments(args, back));
    EXPECT_FALSE(tools::OutcomeFromArguments({"--aviso", "t", "x"}, back));
}

// The programmer without a command says what it would run (in a window on a desktop); with
// one it hands over the HEX file as it is spelt.
TEST(Programmer, NamesTheFileOrHandsItOver) {
    TempDir t("vintrel-prog");
    const fs::path app = t.path() / "app", dir = t.path() / "Mis Pic";
    fs::create_directories(app);
    fs::copy_file(kHelpers / "quemador", app / "quemador");
    WriteFile(app / "vintrel-resultados", Recorder(t.path() / "window"), true);
    WriteFile(t.path() / "burn", Recorder(t.path() / "burned"), true);
    WriteFile(dir / "Motor.HEX", ":00000001FF\n");
    const std::string hex = (dir / "Motor.HEX").string();
    EXPECT_EQ(Sh("DISPLAY=:99 " + Q(app / "quemador") + " " + Q(dir / "Motor")).first, 1);
    EXPECT_EQ(WaitAndRead(t.path() / "window"),
              "[unset]\n--aviso\nvintrel - Programar\nNo hay ningún programador configurado.\n"
              "El fichero que se grabaría es:\n  " +
                  hex +
                  "\nDefina la variable de entorno VINTREL_PROGRAMMER con la orden de su "
                  "programador;\nse ejecutará como: $VINTREL_PROGRAMMER " +
                  hex + "\n");
    EXPECT_EQ(Sh("VINTREL_PROGRAMMER=" + Q((t.path() / "burn").string() + " --chip 16f84") + " " +
                 Q(app / "quemador") + " " + Q(dir / "Motor"))
                  .first,
              0);
    EXPECT_EQ(WaitAndRead(t.path() / "burned"), "[unset]\n--chip\n16f84\n" + hex + "\n");
}

// The editor: the desktop's handler, else $VISUAL or $EDITOR in a terminal, else a graphical
// editor, else a notice of what to install.
TEST(Editor, TriesTheDesktopATerminalAnEditorThenSaysWhatToInstall) {
    const struct {
        std::vector<std::pair<const char*, int>> standIns;  // program, exit status
        const char* env;
        const char* ran;   // the stand-in that opened the file; nullptr: the notice
        const char* head;  // its arguments before the file
    } cases[] = {
        {{{"xdg-open", 0}, {"xterm", 0}}, "EDITOR=vi", "xdg-open", ""},
        {{{"xdg-open", 3}, {"gio", 0}}, "", "gio", "open\n"},
        {{{"xdg-open", 3}, {"gnome-terminal", 0}, {"gedit", 0}},
         "EDITOR='emacs -nw'",
         "gnome-terminal",
         "--\nemacs\n-nw\n"},
        {{{"konsole", 0}}, "VISUAL=nano EDITOR=vi", "konsole", "-e\nnano\n"},
        {{{"xfce4-terminal", 0}}, "EDITOR=vi", "xfce4-terminal", "-x\nvi\n"},
        {{{"xdg-open", 4}, {"xterm", 0}, {"pluma", 0}, {"mousepad", 0}}, "", "mousepad", ""},
        {{{"xdg-open", 3}}, "EDITOR=vi", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.env);
        TempDir t("vintrel-edit");
        const fs::path app = t.path() / "app", bin = t.path() / "bin";
        fs::create_directories(app);
        fs::copy_file(kHelpers / "notepad", app / "notepad");
        WriteFile(app / "vintrel-resultados", Recorder(t.path() / "window"), true);
        for (const auto& [name, status] : c.standIns)
            WriteFile(bin / name, Recorder(t.path() / name, status), true);
        const fs::path src = t.path() / "Mis Fuentes" / "Prueba.asm";
        WriteFile(src, kSource);
        const auto [status, printed] =
            Sh("-u VISUAL -u EDITOR -u TERMINAL PATH=" + Q(bin) + " DISPLAY=:99 " + c.env + " " +
               Q(app / "notepad") + " " + Q(src));
        if (c.ran) {
            EXPECT_EQ(status, 0) << printed;
            EXPECT_EQ(ReadFile(t.path() / c.ran),
                      "[unset]\n" + std::string(c.head) + src.string() + "\n");
        } else {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(
                ReadFile(t.path() / "window"),
                "[unset]\n--aviso\nvintrel - Editar\nNo se ha encontrado ningún editor de textos "
                "para abrir el fichero:\n  " +
                    src.string() +
                    "\nInstale un editor de textos, por ejemplo con la orden:\n  sudo apt "
                    "install mousepad\no un terminal (xterm) y defina la variable VISUAL o "
                    "EDITOR con su editor.\n");
        }
    }
}

// The updater opens one http(s) address in the browser, whatever the line breaks and the "&".
TEST(Updater, OpensOneHttpAddress) {
    TempDir t("vintrel-upd");
    WriteFile(t.path() / "bin" / "xdg-open", Recorder(t.path() / "opened"), true);
    const struct {
        const char* args;
        int status;
        const char* opened;  // nullptr: the browser is not started
    } cases[] = {
        {"'http://h/v.deb\n' '&'", 0, "http://h/v.deb\n"},
        {"'http://h/v.deb\r\n &'", 0, "http://h/v.deb\n"},
        {"'https://h/d?a=1&b=2' '&'", 0, "https://h/d?a=1&b=2\n"},
        {"ftp://h/v.deb '&'", 2, nullptr},
        {"http://h/a b '&'", 2, nullptr},
        {"'&'", 2, nullptr},
    };
    for (const auto& c : cases) {
        fs::remove(t.path() / "opened");
        const auto [status, printed] = Sh("PATH=" + Q(t.path() / "bin") + ":/usr/bin:/bin " +
                                          Q(kHelpers / "upd.exe") + " " + c.args);
        EXPECT_EQ(status, c.status) << c.args << printed;
        EXPECT_EQ(ReadFile(t.path() / "opened"),
                  c.opened ? std::string("[unset]\n") + c.opened : "")
            << c.args;
    }
}

// ---------------------------------------------------------------- source to listing

// "Ensamblar" on a file whose name holds two blanks in a row, then "Cargar" of what it wrote.
TEST(SourceToListing, AssembleThenLoad) {
    REQUIRE_GPASM();
    TempDir t("vintrel-road");
    const fs::path dir = t.path() / "Mis  Fuentes";
    WriteFile(dir / "a  b.asm", kSource);
    WriteFile(dir / "a b.asm", "\tgoto nowhere\n\tend\n");  // a decoy with single blanks
    class Launching : public ScriptedPlatform {
        void launch(std::string_view line, WindowStyle style) override {
            ScriptedPlatform::launch(line, style);
            EXPECT_TRUE(LaunchDetached(line, applicationPath()));
        }
    } p;
    p.appPath = kHelpers.string();
    Form1 f(p);
    p.pendingChoice = (dir / "a  b.asm").string();
    f.ensamblar_Click();
    WaitAndRead(dir / "a  b.lst");
    p.events.clear();
    p.pendingChoice = (dir / "a  b.hex").string();
    f.cargar_Click();
    EXPECT_TRUE(p.events.empty()) << p.events.front();
    EXPECT_EQ(f.prg.row(2), "002\t2802\tGOTO 002");
    EXPECT_EQ(f.chip.WATCHDOG.value(), 1);  // _WDT_ON
    EXPECT_FALSE(fs::exists(dir / "a b.hex"));
}

}  // namespace
}  // namespace vintrel
