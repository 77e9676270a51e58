// The HEX loader as a round trip: random records of program words, EEPROM bytes, the
// configuration word and ID words, with rounded addresses and counts, any digit case and line
// ends, must load silently into exactly the image they describe. One byte changed must still
// leave memory a chip can hold and show only the loader's own messages.
#include <algorithm>
#include <string>
#include <vector>

#include "form1/form1.h"
#include "fuzz/fuzz.h"
#include "host/scripted_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vintrel::ScriptedPlatform platform;
    static vintrel::Form1 form(platform);
    static vintrel::fuzz::ScratchFile file("hex");
    vintrel::fuzz::Source in(data, size);
    auto& chip = form.chip;
    std::vector<int> program(vintrel::kProgramWords), eeprom(vintrel::kEepromCells);
    const int watchdogBefore = in.coin();
    int watchdog = watchdogBefore;
    // A byte address or count the loader halves, a half to even, back to n.
    auto doubled = [&](int n) {
        if (n % 2 == 0 && n > 0 && in.chance(64)) return 2 * n + (in.coin() ? 1 : -1);
        return 2 * n;
    };
    std::string text;
    for (int records = in.range(0, 12); records > 0; --records) {
        const int kind = in.byte() % 8, count = in.range(1, 8);  // program, EEPROM, config, ID
        const int word = kind < 5    ? in.range(0, vintrel::kProgramWords - count)
                         : kind < 7  ? 0x2100 + in.range(0, vintrel::kEepromCells - count)
                         : in.coin() ? 0x2007
                                     : in.range(0x2000, 0x2003);
        const int n = doubled(count), address = doubled(word);
        std::string line = ":" + vintrel::HexPad(n, 2) + vintrel::HexPad(address, 4) + "00";
        int sum = n + (address >> 8) + address;
        for (int k = 0; k < count; ++k) {
            const int w = word >= 0x2100   ? in.byte()
                          : word >= 0x2000 ? in.u16()
                                           : in.u16() & 0x3FFF;
            line += vintrel::HexPad(w & 0xFF, 2) + vintrel::HexPad(w >> 8, 2);
            sum += w + (w >> 8);
            if (word < 0x2000) program[std::size_t(word + k)] = w;
            if (word >= 0x2100) eeprom[std::size_t(word - 0x2100 + k)] = w;
            if (word == 0x2007 && k == 0) watchdog = (w & 4) != 0;
        }
        // Configuration and ID records are accepted whatever their checksum.
        line += vintrel::HexPad((word >= 0x2000 && word < 0x2100 ? in.byte() : 0) - sum, 2);
        const bool lower = in.coin(), mixed = in.coin();
        for (char& c : line)
            if (c >= 'A' && c <= 'F' && lower && (!mixed || in.coin())) c += 'a' - 'A';
        static const char* kEnds[] = {"\n", "\r\n", "\r"};
        text += line + kEnds[in.byte() % 3];
    }
    text += in.coin() ? ":00000001FF" : ":00000001ff";
    if (in.coin()) text += "\n";

    auto load = [&] {
        file.write(text);
        chip.WATCHDOG.setValue(watchdogBefore);
        form.Breakpoints[7] = 1;
        platform.events.clear();
        chip.ProgramMemory.fill(0);
        for (auto& cell : chip.EE)
            cell.setHex(0, 2);
        form.carga(file.path());
    };
    load();
    bool same = platform.events.empty() && chip.WATCHDOG.value() == watchdog &&
                form.Breakpoints[7] == 0 &&
                std::equal(program.begin(), program.end(), chip.ProgramMemory.begin());
    for (std::size_t e = 0; e < eeprom.size(); ++e)
        same = same && chip.EE[e].isHex(2) && chip.EE[e].hexValue() == eeprom[e];
    if (!same) vintrel::fuzz::Fail("not the image of the file", text);

    text[std::size_t(in.range(0, int(text.size()) - 1))] = static_cast<char>(in.byte());
    load();
    const std::string prefix = "message \"Error en fichero " + file.path() + ".\\r";
    for (const std::string& e : platform.events) {
        static const char* kTexts[] = {"No hay código de fin.", "Error de checksum.",
                                       "Formato incorrecto.", "Código de operación no valido.",
                                       "Dirección no valida."};
        bool known = e == "message \"Error en lectura\"";
        for (const char* t : kTexts)
            known |= e == prefix + t + "\"";
        if (!known || platform.events.size() > 2) vintrel::fuzz::Fail(e, text);
    }
    for (std::size_t a = 0; a < program.size(); ++a)
        if (chip.ProgramMemory[a] > 0x3FFF || (a < 64 && !chip.EE[a].isHex(2)))
            vintrel::fuzz::Fail("memory a chip cannot hold", text);
    platform.events.clear();  // nothing allocated by one input outlives it
    return 0;
}
