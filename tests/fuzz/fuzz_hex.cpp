// The HEX loader fed whole files: any bytes, any line endings, any length. Besides not
// crashing, a load must never leave a program word or EEPROM byte that no record of the file
// could have written, and the listing must show program memory as loaded.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/invariants.h"
#include "platform/scripted_platform.h"

namespace {

std::string ScratchFile() {
    char name[] = "/tmp/vintrel-fuzz-hex-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return name;
}

int Nibbles(const std::string& line, std::size_t pos, std::size_t len) {
    return static_cast<int>(
        vintrel::HexValue(line.substr(pos < line.size() ? pos : line.size(), len)));
}

// Marks the word addresses each record could reach: its first word address and as many words
// as its byte count allows. Only the first word's address decides the region.
void Reach(const std::string& line, std::vector<bool>& program, std::vector<bool>& eeprom) {
    if (line.size() < 9 || line[0] != ':') return;
    const int count = Nibbles(line, 1, 2);
    const int address = Nibbles(line, 3, 4);
    // Word address and count are halves rounded to even; allow the neighbours too.
    const int first = address / 2;
    const int words = count / 2 + 1;
    for (int w = first; w <= first + words + 1; ++w) {
        if (w >= 0 && w < vintrel::kProgramWords) program[static_cast<std::size_t>(w)] = true;
        const int e = w - 0x2100;
        if (e >= 0 && e < vintrel::kEepromCells) eeprom[static_cast<std::size_t>(e)] = true;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchFile();
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) std::abort();
    if (size) std::fwrite(data, 1, size, out);
    std::fclose(out);

    vintrel::ScriptedPlatform platform;
    vintrel::Form1 f(platform);
    // Pre-existing state that a load must clear.
    f.ProgramMemory[5] = 0x1234;
    f.EE[5].setHex(0x77, 2);
    f.Breakpoints[9] = 1;
    platform.pendingChoice = path;
    f.cargar_Click();

    std::vector<bool> program(vintrel::kProgramWords), eeprom(vintrel::kEepromCells);
    std::string line;
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
            Reach(line, program, eeprom);
            line.clear();
        } else {
            line += text[i];
        }
    }
    for (int a = 0; a < vintrel::kProgramWords; ++a) {
        const int w = f.ProgramMemory[static_cast<std::size_t>(a)];
        if (w != 0 && !program[static_cast<std::size_t>(a)]) {
            std::fprintf(stderr, "word %03X = %04X written by no record\n", a, w);
            std::abort();
        }
        if (f.Breakpoints[static_cast<std::size_t>(a)] != 0) std::abort();
    }
    for (int e = 0; e < vintrel::kEepromCells; ++e) {
        if (f.EE[static_cast<std::size_t>(e)].hexValue() != 0 &&
            !eeprom[static_cast<std::size_t>(e)]) {
            std::fprintf(stderr, "EEPROM %02X written by no record\n", e);
            std::abort();
        }
    }
    if (auto e = vintrel::fuzz::CheckCells(f); !e.empty()) {
        std::fprintf(stderr, "%s\n", e.c_str());
        std::abort();
    }
    if (auto e = vintrel::fuzz::CheckListing(f); !e.empty()) {
        std::fprintf(stderr, "%s\n", e.c_str());
        std::abort();
    }
    // Every message is one of the loader's own.
    for (const auto& ev : platform.events) {
        if (ev.rfind("message \"Error en", 0) != 0) {
            std::fprintf(stderr, "unexpected event %s\n", ev.c_str());
            std::abort();
        }
    }
    return 0;
}
