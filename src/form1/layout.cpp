#include "form1/layout.h"

#include <vector>

#include "chip/pic16f84.h"

namespace vintrel {

namespace {

using F = Frame;

// clang-format off
constexpr GroupPlace kGroups[] = {
    {F::Data,    F::Window, "Frame1",  "Memoria de DATOS",    {120, 0, 7935, 4815}},
    {F::User,    F::Data,   "Frame4",  "Usuario",             {4320, 240, 3495, 4215}},
    {F::Eeprom,  F::Window, "Frame3",  "Memoria EEPROM",      {120, 4800, 6375, 1575}},
    {F::Pic,     F::Window, "Frame7",  "PIC",                 {120, 6360, 3255, 1575}},
    {F::Stack,   F::Window, "Frame9",  "Pila",                {3480, 6360, 3015, 615}},
    {F::Edit,    F::Window, "Frame10", "Modificar",           {3480, 6960, 3015, 975}},
    {F::Files,   F::Window, "Frame8",  "Ficheros",            {6600, 4800, 1455, 3135}},
    {F::Ports,   F::Window, "Frame5",  "Puertos E/S",         {8160, 0, 3375, 1095}},
    {F::Timer,   F::Window, "Frame6",  "RTCC",                {8160, 1080, 3375, 855}},
    {F::Program, F::Window, "Frame2",  "Memoria de PROGRAMA", {8160, 1920, 3375, 6015}},
};
// clang-format on

// The special function registers' rows of "Memoria de DATOS", r = 0 to 15 at top 480 + 240 r,
// headed by the chip's names. A shared cell sits between the bank columns (mirrored in both
// banks); bank 1's own registers have a column of their own.
constexpr bool kSharedColumn[16] = {false, false, true, true, true, false, false, true,
                                    false, false, true, true, true, true,  true,  true};
constexpr std::string_view SfrName(int r) {
    return r == pic::kUnimplemented ? "--" : pic::PanelName(r);
}
constexpr int SfrTop(int r) {
    return 480 + 240 * r;
}

Place CellAt(Frame f, int left, int top) {
    return Place{f, {left, top, 375, 255}, Font::Bold};
}

std::vector<StaticLabel> MakeStaticLabels() {
    std::vector<StaticLabel> v;
    auto heading = [&v](Frame f, std::string_view text, TwipRect at) {
        v.push_back({f, text, at, Font::Bold, true, Align::Center, false});
    };
    auto caption = [&v](Frame f, std::string_view text, TwipRect at, bool hidden = false) {
        v.push_back({f, text, at, Font::Plain, false, Align::Left, hidden});
    };
    for (int r = 0; r < 16; ++r) {
        if (!SfrName(r).empty()) heading(F::Data, SfrName(r), {600, SfrTop(r), 1065, 255});
        if (pic::OwnInBank1(pic::kBank1 + r))
            heading(F::Data, pic::PanelName(pic::kBank1 + r), {2760, SfrTop(r), 1065, 255});
    }
    v.push_back(
        {F::Data, "->", {2040, SfrTop(0), 375, 255}, Font::Bold, false, Align::Center, false});
    heading(F::Data, "W", {1200, 4440, 375, 255});
    heading(F::Data, "PC", {2520, 4440, 375, 255});

    static constexpr std::string_view kRowHeads[] = {"0x", "1x", "2x", "3x"};
    for (int r = 0; r < 4; ++r)
        heading(F::Eeprom, kRowHeads[r], {120, 480 + 240 * r, 375, 255});

    caption(F::Pic, "Frecuencia", {120, 270, 855, 255});
    caption(F::Pic, "KHz", {1680, 270, 375, 255});
    caption(F::Pic, "Ciclos", {480, 960, 495, 255});
    // The watchdog countdown and the T0CKI frequency never show: no operation makes them visible.
    caption(F::Pic, "Watchdog", {120, 1230, 855, 255}, true);

    heading(F::Edit, "Dir.", {120, 240, 735, 255});
    heading(F::Edit, "Dato", {840, 240, 735, 255});

    static constexpr std::string_view kBits[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
    for (int bit = 7; bit >= 0; --bit)
        v.push_back({F::Ports,
                     kBits[bit],
                     {1200 + 240 * (7 - bit), 240, 195, 255},
                     Font::Bold,
                     false,
                     Align::Center,
                     false});
    heading(F::Ports, "PORTA", {240, 480, 735, 255});
    heading(F::Ports, "PORTB", {240, 720, 735, 255});

    caption(F::Timer, "Divisor", {120, 240, 495, 255});
    caption(F::Timer, "Señal", {720, 240, 735, 255});
    caption(F::Timer, "Frec.", {1560, 240, 735, 255}, true);
    return v;
}

// Bit 7 on the left, bit 0 on the right.
Place PinAt(int bit, int top) {
    return Place{F::Ports, {2880 - 240 * bit, top, 255, 255}, Font::Plain, Look::Pin};
}

}  // namespace

std::span<const GroupPlace> Groups() {
    return kGroups;
}

std::span<const StaticLabel> StaticLabels() {
    static const std::vector<StaticLabel> labels = MakeStaticLabels();
    return labels;
}

std::optional<Place> RegisterCells(int key) {
    if (key >= 0 && key < 16) return CellAt(F::Data, kSharedColumn[key] ? 2040 : 1680, SfrTop(key));
    if (key >= 16 && key < 80) {
        const int k = (key - 16) / 16, r = (key - 16) % 16;
        return CellAt(F::User, 480 + 840 * k, 240 + 240 * r);
    }
    const int r = key - 128;
    if (r >= 0 && r < 16 && pic::OwnInBank1(pic::kBank1 + r))
        return CellAt(F::Data, 2400, SfrTop(r));
    return std::nullopt;
}

std::optional<Place> AddressHeadings(int i) {
    if (i >= 0 && i < 16) return CellAt(F::Data, 240, SfrTop(i));
    if (i >= 16 && i < 80) {
        const int k = (i - 16) / 16, r = (i - 16) % 16;
        return CellAt(F::User, 120 + 840 * k, 240 + 240 * r);
    }
    if (i >= 80 && i < 96) return CellAt(F::Data, 3840, SfrTop(i - 80));
    return std::nullopt;
}

std::optional<Place> EepromCells(int i) {
    return CellAt(F::Eeprom, 480 + 360 * (i % 16), 480 + 240 * (i / 16));
}

std::optional<Place> EepromColumns(int i) {
    return CellAt(F::Eeprom, 480 + 360 * i, 240);
}

std::optional<Place> StackLevels(int i) {
    return Place{F::Stack, {60 + 360 * i, 240, 375, 255}};
}

std::optional<Place> BankHeadings(int i) {
    return i == 0 ? Place{F::Data, {240, 240, 2055, 255}, Font::Bold}
                  : Place{F::Data, {2280, 240, 1935, 255}, Font::Bold};
}

std::optional<Place> PortAPins(int bit) {
    return PinAt(bit, 480);
}

std::optional<Place> PortBPins(int bit) {
    return PinAt(bit, 720);
}

}  // namespace vintrel
