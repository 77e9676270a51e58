// Loading an INHX8M file into program memory, the data EEPROM and the watchdog switch.

#include <string>
#include <string_view>

#include "form1/form1.h"
#include "image/hex_file.h"

namespace vintrel {

namespace {

constexpr std::string_view kHexFilter =
    "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";

}  // namespace

void Form1::cargar_Click() {
    // The path is used exactly as chosen: on a case-sensitive file system lower-casing it
    // would open a different file, or none.
    const std::string nomhex = platform_.openFileDialog(kHexFilter, "hex");
    if (!nomhex.empty()) {
        chip.EraseMemories();
        carga(nomhex);
    }
    listaprog();
}

void Form1::carga(const std::string& nomhex) {
    Breakpoints.fill(0);
    const HexRead read = ReadHexFile(nomhex);
    // What the file stored before anything ended it stays, and shows behind the message box.
    chip.StoreImage(read.image);

    if (read.end == HexEnd::Unreadable) {
        platform_.messageBox("Error en lectura", MessageButtons::Ok, MessageAlign::Default);
        return;
    }
    const std::string prefix = "Error en fichero " + nomhex + ".\r";
    auto report = [&](std::string_view sentence) {
        platform_.messageBox(prefix + std::string(sentence), MessageButtons::Ok,
                             MessageAlign::Right);
    };
    switch (read.end) {
        case HexEnd::NoEndRecord:
            report("No hay código de fin.");
            break;
        case HexEnd::BadFormat:
            report("Formato incorrecto.");
            return;
        case HexEnd::BadWord:
            report("Código de operación no valido.");
            return;
        case HexEnd::BadAddress:
            report("Dirección no valida.");
            return;
        case HexEnd::EndRecord:
        case HexEnd::Unreadable:
            break;
    }
    if (read.badChecksum) report("Error de checksum.");
}

}  // namespace vintrel
