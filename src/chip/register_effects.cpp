#include <array>
#include <string>

#include "chip/chip.h"

namespace vintrel {

void Chip::BitsOf(int value, int bits[8]) {
    for (int i = 0; i < 8; ++i)
        bits[i] = 0;
    for (int i = 7; i >= 0; --i) {
        if ((1 << i) <= value) {
            bits[i] = 1;
            value -= 1 << i;
        }
    }
}

void Chip::ShowLatch(Control* pins, int count, int portValue) {
    int bits[8];
    BitsOf(portValue, bits);
    for (int i = 0; i < count; ++i)
        if (!pins[i].enabled()) pins[i].setValue(bits[i]);
    if (observer_) observer_->Observe();
}

void Chip::SetDirections(Control* pins, int count, int trisValue) {
    int bits[8];
    BitsOf(trisValue, bits);
    for (int i = 0; i < count; ++i)
        pins[i].setEnabled(bits[i] == 1);
}

void Chip::selpag() {
    switch (StatusReg & 0x60) {
        case 0x00:
            RP[0].setColor(ColorRole::Cell);
            RP[1].setColor(ColorRole::Placeholder);
            break;
        case 0x20:
            RP[0].setColor(ColorRole::Placeholder);
            RP[1].setColor(ColorRole::Cell);
            break;
        default:
            RP[0].setColor(ColorRole::Placeholder);
            RP[1].setColor(ColorRole::Placeholder);
            break;
    }
}

namespace {

// The registers REG_Change always has work for: those with an effect, STATUS and FSR.
constexpr std::array<bool, 256> BaseWatched() {
    std::array<bool, 256> w{};
    for (int k = 0; k < 256; ++k)
        w[static_cast<std::size_t>(k)] = Chip::HasEffect(k) || k == 3 || k == 4;
    return w;
}
constexpr auto kBaseWatched = BaseWatched();

}  // namespace

void Chip::SetIndfKey(int key) {
    const int old = indfKey_;
    // The display is about to read STATUS: it shows the flags of the instructions so far.
    if (key == 3) SyncStatus();
    indfKey_ = key;
    indfShowsPcl_ = key == 2 || key == kAnyKey;
    indfShowsStatus_ = key == 3;
    indfShowsPclOrStatus_ = indfShowsPcl_ || indfShowsStatus_;
    if (old == kAnyKey || key == kAnyKey) {
        watched_ = kBaseWatched;
        if (key == kAnyKey) watched_.fill(true);
        if (key >= 0) watched_[static_cast<std::size_t>(key & 0xFF)] = true;
        return;
    }
    watched_[static_cast<std::size_t>(old & 0xFF)] =
        kBaseWatched[static_cast<std::size_t>(old & 0xFF)];
    watched_[static_cast<std::size_t>(key & 0xFF)] = true;
}

void Chip::RegisterEffect(int key) {
    int bits[8];
    switch (key) {
        case 3:
            StatusReg = static_cast<int>(REG(3).hexValue());
            selpag();
            REG(3).setDecodedHint(kStatusTemplate, StatusReg);
            break;
        case 4:
            SetIndfKey(IndfKeyOf(static_cast<int>(REG(4).hexValue())));
            break;
        case 5:
            ShowLatch(PA.data(), 5, static_cast<int>(REG(5).hexValue()));
            break;
        case 6:
            ShowLatch(PB.data(), 8, static_cast<int>(REG(6).hexValue()));
            break;
        case 11:
            gie_ = (REG(11).hexValue() & 0x80) != 0;
            REG(11).setDecodedHint(kIntconTemplate, static_cast<int>(REG(11).hexValue()));
            break;
        case 129: {
            const int option = static_cast<int>(REG(129).hexValue());
            BitsOf(option, bits);
            if (bits[5] == 1) {
                SENTIM.setText("Ext.");
                internalClock_ = false;
                FR_Change();
                PA[4].setVisible(false);  // RA4 is the T0CKI pin
            } else {
                SENTIM.setText("Int.");
                internalClock_ = true;
                TOCKI.setEnabled(false);
                PA[4].setVisible(true);
            }
            const int ps = bits[2] * 4 + bits[1] * 2 + bits[0];
            t0Divisor_ = bits[5] == 1 ? 0 : bits[3] == 1 ? 1 : 2 << ps;  // chip mode's Timer0
            if (bits[3] == 1) {
                divtim.setNumber(1);
                WATCHDOG.setText("WDT / " + std::to_string(1 << ps));
            } else {
                divtim.setNumber(1 << (ps + 1));
                WATCHDOG.setText("WDT / 1");
            }
            REG(129).setDecodedHint(kOptionTemplate, static_cast<int>(REG(129).hexValue()));
            break;
        }
        case 133:
            SetDirections(PA.data(), 5, static_cast<int>(REG(133).hexValue()));
            ShowLatch(PA.data(), 5, static_cast<int>(REG(5).hexValue()));
            break;
        case 134:
            SetDirections(PB.data(), 8, static_cast<int>(REG(134).hexValue()));
            ShowLatch(PB.data(), 8, static_cast<int>(REG(6).hexValue()));
            break;
        case 136: {
            // The bits are taken once; the writes below run nested effects with their own.
            BitsOf(static_cast<int>(REG(136).hexValue()), bits);
            if (bits[0] == 1) {
                // EEADR 40h and above addresses no cell: the read yields 00.
                const auto ee = REG(9).hexValue();
                if (ee < kEepromCells) {
                    REG(8).copyText(EE[static_cast<std::size_t>(ee)]);
                } else {
                    REG(8).setHex(0, 2);
                }
                REG(136).setHex(REG(136).hexValue() & 0xFE, 2);
            }
            if (bits[1] == 1) {
                if (chipMode_ && eeLeft_ > 0) break;  // the write under way keeps WR set
                if (chipMode_ && EepromUnlock == 2 && bits[2] == 1) {
                    // On the chip the write takes its time, WR set meanwhile (ChipEeprom).
                    EepromUnlock = 0;
                    eeAddress_ = static_cast<int>(REG(9).hexValue());
                    eeData_ = static_cast<int>(REG(8).hexValue());
                    eeLeft_ = eeWriteTime_ + 1;  // from the end of this one-cycle write
                    rare_ = true;
                    break;
                }
                if (EepromUnlock == 2 && bits[2] == 1) {
                    const auto ee = REG(9).hexValue();
                    if (ee < kEepromCells) EE[static_cast<std::size_t>(ee)].copyText(REG(8));
                    REG(136).setHex(REG(136).hexValue() | 0x10, 2);
                }
                EepromUnlock = 0;
                REG(136).setHex(REG(136).hexValue() & 0xFD, 2);
            }
            break;
        }
        case 137: {
            const auto v = REG(137).hexValue();
            switch (EepromUnlock) {
                case 0:
                    EepromUnlock = v == 0x55 ? 1 : 0;
                    break;
                case 1:
                    if (v == 0xAA) EepromUnlock = 2;
                    break;
                default:
                    EepromUnlock = 0;
                    break;
            }
            break;
        }
        default:
            break;
    }
}

// A program counter typed as text: PCL takes its last two characters.
void Chip::RegPC_ChangeText() {
    const std::string pc = RegPC.text();
    if (pc.size() >= 2) {
        REG(2).setText(std::string_view(pc).substr(pc.size() - 2));
    } else {
        REG(2).setText(pc);
    }
}

void Chip::FR_Change() {
    TOCKI.setEnabled(DecimalValue(FR.text()) == 0);
}

void Chip::WATCHDOG_Click() {
    WDT.setEnabled(WATCHDOG.value() != 0);
    wdtCycles_ = 0;  // chip mode's count starts when the watchdog is switched on
}

}  // namespace vintrel
