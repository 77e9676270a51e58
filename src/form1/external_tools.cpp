// The three buttons that hand a chosen file to an outside program: the text editor, the
// assembler and the device programmer. The simulator starts them and goes on; it neither waits
// nor looks at how they end.

#include <string>
#include <string_view>

#include "form1/form1.h"

namespace vintrel {

namespace {

constexpr std::string_view kAsmFilter =
    "Archivos ensamblador (*.asm)|*.asm|Todos los archivos (*.*)|*.*";
constexpr std::string_view kHexFilter =
    "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";

constexpr std::string_view kAssemblerOptions = " /aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 ";

// Paths keep their case: on a case-sensitive file system a lower-cased path names another
// file, or none.
bool EndsWithHex(std::string_view p) {
    if (p.size() < 4) return false;
    constexpr std::string_view ext = ".hex";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = p[p.size() - 4 + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i]) return false;
    }
    return true;
}

}  // namespace

void Form1::editar_Click() {
    const std::string p = platform_.openFileDialog(kAsmFilter, "asm");
    if (p.empty()) return;
    platform_.launch("notepad " + p, WindowStyle::Normal);
}

void Form1::ensamblar_Click() {
    const std::string p = platform_.openFileDialog(kAsmFilter, "asm");
    if (p.empty()) return;
    std::string cmd = platform_.applicationPath();
    cmd += "/mpasmwin.exe";
    cmd += kAssemblerOptions;
    cmd += p;
    platform_.launch(cmd, WindowStyle::Minimized);
}

void Form1::programar_Click() {
    const std::string p = platform_.openFileDialog(kHexFilter, "hex");
    if (p.empty() || !EndsWithHex(p)) return;
    // The programmer is given the HEX file's path without its extension.
    std::string cmd = platform_.applicationPath();
    cmd += "/quemador ";
    cmd.append(p, 0, p.size() - 4);
    platform_.launch(cmd, WindowStyle::Normal);
}

}  // namespace vintrel
