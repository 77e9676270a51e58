// Loading an INHX8M file into program memory, the data EEPROM and the watchdog switch.

#include <exception>
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
        for (auto& cell : chip.EE)
            cell.setHex(0, 2);
        chip.ProgramMemory.fill(chip.ErasedWord());
        carga(nomhex);
    }
    listaprog();
}

void Form1::carga(const std::string& nomhex) {
    Breakpoints.fill(0);

    int result = kAccepted;
    bool checksumSeen = false;
    bool endMissing = false;
    try {
        LineFile file(nomhex);
        for (;;) {
            std::string line = file.readLine();
            // A line no record can be is a malformed record.
            result = file.tooLong() ? kBadFormat : extlinfic(chip, line);
            if (result == kBadChecksum) {
                checksumSeen = true;
            } else if (result != kAccepted) {
                break;
            }
            if (file.atEnd()) {
                endMissing = true;
                break;
            }
        }
    } catch (const std::exception&) {
        // Open or read failure, a record storing outside memory, or no memory for a line.
        platform_.messageBox("Error en lectura", MessageButtons::Ok, MessageAlign::Default);
        return;
    }

    const std::string prefix = "Error en fichero " + nomhex + ".\r";
    auto report = [&](std::string_view sentence) {
        platform_.messageBox(prefix + std::string(sentence), MessageButtons::Ok,
                             MessageAlign::Right);
    };
    if (endMissing) {
        report("No hay código de fin.");
        if (checksumSeen) report("Error de checksum.");
        return;
    }
    switch (result) {
        case kBadFormat:
            report("Formato incorrecto.");
            break;
        case kBadWord:
            report("Código de operación no valido.");
            break;
        case kBadAddress:
            report("Dirección no valida.");
            break;
        case kEndOfFile:
            if (checksumSeen) report("Error de checksum.");
            break;
        default:
            break;
    }
}

}  // namespace vintrel
