#include "core/form1.h"

namespace vintrel {

// A pin's level is only sampled when the program reads its port.
void Form1::PA_Click(int /*index*/) {}
void Form1::PB_Click(int /*index*/) {}

void Form1::TOCKI_Click() {
    ++PrescalerCount;
}

void Form1::FR_Change() {
    TOCKI.setEnabled(DecimalValue(FR.text()) == 0);
}

void Form1::WATCHDOG_Click() {
    WDT.setEnabled(WATCHDOG.value() != 0);
}

void Form1::fin_Click() {
    platform_.endProgram();
}

}  // namespace vintrel
