#include "form1/form1.h"

namespace vintrel {

void Form1::REG_Click(int index) {
    if (index == 7 || !Chip::IsRegKey(index)) return;
    direc.setText("D-" + HexPad(index, 2));
    dato.copyText(chip.REG(index));
    setFocus(dato);
}

void Form1::EE_Click(int index) {
    if (index < 0 || index >= kEepromCells) return;
    direc.setText("E-" + HexPad(index, 2));
    dato.copyText(chip.EE[static_cast<std::size_t>(index)]);
    setFocus(dato);
}

void Form1::REGW_Click() {
    direc.setText("W");
    dato.copyText(chip.REGW);
    setFocus(dato);
}

void Form1::RegPC_Click() {
    direc.setText("PC");
    dato.copyText(chip.RegPC);
    setFocus(dato);
}

void Form1::dato_GotFocus() {
    dato.setSelection(0, static_cast<int>(dato.text().size()));
}

void Form1::cancelar_Click() {
    direc.setText("");
    dato.setText("");
}

void Form1::aceptar_Click() {
    const std::int64_t value = HexValue(dato.text());
    const std::string d = direc.text();
    const std::int64_t address = d.size() > 2 ? HexValue(std::string_view(d).substr(2)) : 0;

    bool inRange = true;
    auto within = [&](std::int64_t max) { return inRange = value >= 0 && value <= max; };

    if (d.empty()) {
        // nothing to write
    } else if (d[0] == 'W') {
        if (within(0xFF)) chip.REGW.setHex(value, 2);
    } else if (d[0] == 'D') {
        if (within(0xFF) && Chip::IsRegKey(static_cast<int>(address & 0xFF)) && address <= 0xFF) {
            const int key = static_cast<int>(address);
            chip.REG(key).setHex(value, 2);
            if (key == 2 || key == 10) {
                chip.ProgramCounter = static_cast<int>(
                    (chip.REG(10).hexValue() * 256 + chip.REG(2).hexValue()) & 0x3FF);
                chip.RegPC.setHex(chip.ProgramCounter, 3);
            }
        }
    } else if (d[0] == 'E') {
        if (within(0xFF) && address < kEepromCells)
            chip.EE[static_cast<std::size_t>(address)].setHex(value, 2);
    } else if (d[0] == 'P' && d.size() > 1 && d[1] == '-') {
        if (within(0x3FFF) && address < kProgramWords) {
            chip.ProgramMemory[static_cast<std::size_t>(address)] = static_cast<int>(value);
            RebuildRow(static_cast<int>(address));
        }
    } else if (d[0] == 'P') {
        if (within(0x3FF)) chip.RegPC.setHex(value, 3);
    }

    if (!inRange) {
        platform_.beep();
        setFocus(dato);
        dato.setSelection(0, static_cast<int>(dato.text().size()));
        return;
    }
    cancelar_Click();
}

}  // namespace vintrel
