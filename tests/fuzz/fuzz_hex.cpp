// The HEX loader as a round trip. From the input comes a random image (program words, EEPROM
// bytes, the configuration word, ID words), written as INHX8M with random record lengths, order,
// rounding of addresses and counts, digit case and line ends. Loading it through Form1::carga
// must give back exactly that image, silently. Then one random corruption of the same file must
// end the load with the loader's message for it, keeping exactly what came before the fault.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "form1/form1.h"
#include "fuzz/source.h"
#include "host/scripted_platform.h"

namespace {

using vintrel::fuzz::Source;

enum class Kind { Program, Eeprom, Config, Id, Raw };

struct Record {
    Kind kind = Kind::Program;
    int word = 0;            // word address of the first word
    std::vector<int> words;  // 16-bit words (low byte, high byte in the file)
    int type = 0;
    int checksumDelta = 0;  // added to the right checksum
    std::string raw;        // Kind::Raw: the line as it stands
};

struct Image {
    std::array<int, vintrel::kProgramWords> program{};
    std::array<int, vintrel::kEepromCells> eeprom{};
    int watchdog = 0;
};

// A byte address or count n that the loader halves (a half rounding to even) back to `half`.
int Doubled(Source& in, int half) {
    if (half % 2 == 0 && in.chance(64)) return 2 * half + (in.coin() ? 1 : -1) * (half > 0);
    return 2 * half;
}

// Appends `value` as `width` upper-case hex digits (without a string per field).
void AppendHex(std::string& s, int value, int width) {
    char digits[8];
    vintrel::FormatHex(digits, value, width);
    s.append(digits, static_cast<std::size_t>(width));
}

[[clang::no_sanitize("coverage")]] std::string Encode(Source& in, const Record& r) {
    if (r.kind == Kind::Raw) return r.raw;
    const int count = Doubled(in, static_cast<int>(r.words.size()));
    const int address = Doubled(in, r.word);
    std::string line = ":";
    line.reserve(12 + 4 * r.words.size());
    AppendHex(line, count, 2);
    AppendHex(line, address, 4);
    AppendHex(line, r.type, 2);
    int sum = count + (address >> 8) + (address & 0xFF) + r.type;
    for (int w : r.words) {
        AppendHex(line, w & 0xFF, 2);
        AppendHex(line, w >> 8, 2);
        sum += (w & 0xFF) + (w >> 8);
    }
    AppendHex(line, (-sum + r.checksumDelta) & 0xFF, 2);
    const int style = in.byte() % 3;  // upper, lower, or mixed case
    for (char& c : line) {
        if (c >= 'A' && c <= 'F' && (style == 1 || (style == 2 && in.coin()))) c += 'a' - 'A';
    }
    return line;
}

std::string EndRecord(Source& in) {
    return in.coin() ? ":00000001FF" : ":00000001ff";
}

// Values of a memory and which of them the image sets.
template <std::size_t N>
struct Memory {
    std::array<int, N> value{};
    std::array<bool, N> set{};
};

// Adds records for the runs of set addresses, each cut into random lengths.
template <std::size_t N>
[[clang::no_sanitize("coverage")]] void AddRuns(Source& in, std::vector<Record>& out, Kind kind,
                                                int base, const Memory<N>& m) {
    const auto& v = m.value;
    const auto& set = m.set;
    const int n = static_cast<int>(v.size());
    for (int a = 0; a < n;) {
        if (!set[static_cast<std::size_t>(a)]) {
            ++a;
            continue;
        }
        Record r;
        r.kind = kind;
        r.word = base + a;
        const int len = in.range(1, 16);
        while (a < n && set[static_cast<std::size_t>(a)] && static_cast<int>(r.words.size()) < len)
            r.words.push_back(v[static_cast<std::size_t>(a++)]);
        out.push_back(std::move(r));
    }
}

// What the loader leaves after reading `records` in order, the record at `stop` applied only
// for its first `partial` words (and nothing read after it).
[[clang::no_sanitize("coverage")]] void Apply(Image& img, const std::vector<Record>& records,
                                              std::size_t stop, std::size_t partial) {
    for (std::size_t i = 0; i < records.size() && i <= stop; ++i) {
        const Record& r = records[i];
        const std::size_t n = i == stop ? partial : r.words.size();
        for (std::size_t k = 0; k < n && k < r.words.size(); ++k) {
            const int a = r.word + static_cast<int>(k);
            if (r.kind == Kind::Program) img.program[static_cast<std::size_t>(a)] = r.words[k];
            if (r.kind == Kind::Eeprom)
                img.eeprom[static_cast<std::size_t>(a - 0x2100)] = r.words[k] & 0xFF;
            if (r.kind == Kind::Config && k == 0) img.watchdog = (r.words[0] & 4) ? 1 : 0;
        }
    }
}

struct Loader {
    vintrel::ScriptedPlatform platform;
    vintrel::Form1 form{platform};
    vintrel::fuzz::ScratchFile scratch{"hex"};
    const std::string& path = scratch.path();

    // Loads `text` as the Cargar button does, starting with the watchdog switch at `watchdog`.
    void Load(const std::string& text, int watchdog) {
        scratch.write(text);
        auto& chip = form.chip;
        chip.WATCHDOG.setValue(watchdog);
        for (auto& cell : chip.EE)
            cell.setHex(0, 2);
        chip.ProgramMemory.fill(0);
        form.Breakpoints[7] = 1;
        platform.events.clear();
        form.carga(path);
    }

    std::string Message(const std::string& sentence) const {
        return "message " + vintrel::JsonString("Error en fichero " + path + ".\r" + sentence);
    }

    [[clang::no_sanitize("coverage")]] void Check(const char* what, const Image& want,
                                                  const std::vector<std::string>& messages,
                                                  const std::string& file) {
        std::string fault;
        auto& chip = form.chip;
        for (int a = 0; a < vintrel::kProgramWords && fault.empty(); ++a) {
            if (chip.ProgramMemory[static_cast<std::size_t>(a)] !=
                want.program[static_cast<std::size_t>(a)])
                fault = "program word " + vintrel::HexPad(a, 3) + " is " +
                        vintrel::HexPad(chip.ProgramMemory[static_cast<std::size_t>(a)], 4) +
                        ", not " + vintrel::HexPad(want.program[static_cast<std::size_t>(a)], 4);
            if (form.Breakpoints[static_cast<std::size_t>(a)] != 0) fault = "a breakpoint stayed";
        }
        for (int e = 0; e < vintrel::kEepromCells && fault.empty(); ++e) {
            if (!chip.EE[static_cast<std::size_t>(e)].isHex(2) ||
                chip.EE[static_cast<std::size_t>(e)].hexValue() !=
                    want.eeprom[static_cast<std::size_t>(e)])
                fault = "EEPROM " + vintrel::HexPad(e, 2) + " is " +
                        chip.EE[static_cast<std::size_t>(e)].text();
        }
        if (fault.empty() && chip.WATCHDOG.value() != want.watchdog) fault = "watchdog switch";
        if (fault.empty() && platform.events != messages) {
            fault = "messages:";
            for (const auto& e : platform.events)
                fault += "\n  " + e;
            fault += "\nexpected:";
            for (const auto& e : messages)
                fault += "\n  " + e;
        }
        if (fault.empty()) return;
        std::fprintf(stderr, "%s: %s\nfile:\n%s\n", what, fault.c_str(), file.c_str());
        std::abort();
    }
};

[[clang::no_sanitize("coverage")]] std::string Join(Source& in,
                                                    const std::vector<std::string>& lines,
                                                    bool lastEnded) {
    static const char* kEnds[] = {"\n", "\r\n", "\r"};
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 == lines.size() && !lastEnded) break;
        // A bare CR before an empty line would join with its LF into one line end.
        const bool emptyNext = i + 1 < lines.size() && lines[i + 1].empty();
        text += kEnds[in.byte() % (emptyNext ? 2 : 3)];
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Loader loader;
    Source in(data, size);

    // ---- a random image ----
    Memory<vintrel::kProgramWords> program;
    Memory<vintrel::kEepromCells> eeprom;
    for (int s = in.range(0, 4); s > 0; --s) {
        const int start = in.range(0, vintrel::kProgramWords - 1);
        for (int a = start, n = in.range(1, 24); n > 0 && a < vintrel::kProgramWords; ++a, --n) {
            program.value[static_cast<std::size_t>(a)] = in.u16() & 0x3FFF;
            program.set[static_cast<std::size_t>(a)] = true;
        }
    }
    for (int s = in.range(0, 3); s > 0; --s) {
        const int start = in.range(0, vintrel::kEepromCells - 1);
        for (int a = start, n = in.range(1, 16); n > 0 && a < vintrel::kEepromCells; ++a, --n) {
            eeprom.value[static_cast<std::size_t>(a)] = in.byte();
            eeprom.set[static_cast<std::size_t>(a)] = true;
        }
    }
    std::vector<Record> records;
    records.reserve(32);
    AddRuns(in, records, Kind::Program, 0, program);
    AddRuns(in, records, Kind::Eeprom, 0x2100, eeprom);
    if (in.coin()) {  // the configuration word: only bit 2 of its low byte counts
        Record r;
        r.kind = Kind::Config;
        r.word = 0x2007;
        r.words.push_back(in.u16());
        if (in.coin()) r.checksumDelta = in.range(1, 255);  // not verified
        records.push_back(r);
    }
    if (in.chance(64)) {  // ID words: ignored, whatever they hold
        Record r;
        r.kind = Kind::Id;
        r.word = in.range(0x2000, 0x2003);
        for (int n = in.range(1, 4); n > 0; --n)
            r.words.push_back(in.u16());
        if (in.coin()) r.checksumDelta = in.range(1, 255);
        records.push_back(r);
    }
    for (std::size_t i = records.size(); i > 1; --i)
        std::swap(records[i - 1], records[static_cast<std::size_t>(in.range(0, int(i) - 1))]);

    const int watchdogBefore = in.coin() ? 1 : 0;
    Image want;
    want.watchdog = watchdogBefore;
    Apply(want, records, records.size(), 0);

    // ---- the round trip ----
    std::vector<std::string> lines;
    for (const auto& r : records)
        lines.push_back(Encode(in, r));
    lines.push_back(EndRecord(in));
    std::string file = Join(in, lines, in.coin());
    loader.Load(file, watchdogBefore);
    loader.Check("valid file", want, {}, file);

    // ---- one corruption ----
    const std::size_t n = records.size();
    std::size_t at = static_cast<std::size_t>(in.range(0, static_cast<int>(n)));  // n: the end
    std::vector<std::string> messages;
    bool endLine = true;
    std::size_t stop = n, partial = 0;  // what of the records is applied
    auto dataRecord = [&](std::size_t i) {
        return i < n && (records[i].kind == Kind::Program || records[i].kind == Kind::Eeprom);
    };
    auto insert = [&](Record r) {
        records.insert(records.begin() + static_cast<std::ptrdiff_t>(at), r);
        stop = at;
    };
    const std::string readError = "message " + vintrel::JsonString("Error en lectura");
    switch (in.byte() % 8) {
        case 0:  // a wrong checksum: the record still applies, reported after the end
            if (dataRecord(at)) {
                records[at].checksumDelta = in.range(1, 255);
                messages = {loader.Message("Error de checksum.")};
            }
            break;
        case 1:  // a wrong checksum on the end record: it no longer ends the file
            endLine = false;
            records.push_back(
                Record{Kind::Raw, 0, {}, 0, 0, in.coin() ? ":00000001FE" : ":00000001"});
            messages = {loader.Message("No hay código de fin."),
                        loader.Message("Error de checksum.")};
            break;
        case 2:  // no end record
            endLine = false;
            messages = {n == 0 ? readError : loader.Message("No hay código de fin.")};
            break;
        case 3: {  // a record type other than data and end
            const Record r{
                Kind::Program, in.range(0, 1023), {in.u16() & 0x3FFF}, in.range(2, 255), 0, {}};
            insert(Record{Kind::Raw, 0, {}, 0, 0, Encode(in, r)});
            messages = {loader.Message("Formato incorrecto.")};
            break;
        }
        case 4: {  // a line that is not a record
            static const char* kLines[] = {"", " :00000001FF", "; comment", "x", "00000001FF"};
            insert(Record{Kind::Raw, 0, {}, 0, 0, kLines[in.byte() % 5]});
            messages = {loader.Message("Formato incorrecto.")};
            break;
        }
        case 5:  // a word too wide for its region: the words before it stay
            if (dataRecord(at)) {
                Record& r = records[at];
                const std::size_t k =
                    static_cast<std::size_t>(in.range(0, int(r.words.size()) - 1));
                const int high = r.kind == Kind::Program ? in.range(0x40, 0xFF) : in.range(1, 0xFF);
                r.words[k] = (r.words[k] & 0xFF) | high << 8;
                stop = at;
                partial = k;
                messages = {loader.Message("Código de operación no valido.")};
            }
            break;
        case 6: {  // a first word address in no region
            static const int kFrom[] = {2047, 0x2004, 0x2008, 0x2140};
            static const int kTo[] = {0x1FFF, 0x2006, 0x20FF, 0x7FFF};
            const int which = in.byte() % 4;
            insert(Record{Kind::Raw,
                          0,
                          {},
                          0,
                          0,
                          Encode(in, Record{Kind::Program,
                                            in.range(kFrom[which], kTo[which]),
                                            {in.u16() & 0x3FFF},
                                            0,
                                            0,
                                            {}})});
            messages = {loader.Message("Dirección no valida.")};
            break;
        }
        default: {  // a record reaching past the memory it starts in, or one without room
            messages = {readError};
            const int which = in.byte() % 3;
            if (which == 2) {
                insert(Record{Kind::Raw, 0, {}, 0, 0, in.coin() ? ":00000000" : ":000000000"});
                break;
            }
            Record r;
            r.kind = which == 0 ? Kind::Program : Kind::Eeprom;
            const int limit = which == 0 ? vintrel::kProgramWords : vintrel::kEepromCells;
            const int len = in.range(which == 0 ? 1 : 2, 8);
            const int first =
                which == 0 ? in.range(limit - len + 1, 2046) : in.range(limit - len + 1, limit - 1);
            r.word = (which == 0 ? 0 : 0x2100) + first;
            for (int k = 0; k < len; ++k)
                r.words.push_back(which == 0 ? in.u16() & 0x3FFF : in.byte());
            insert(r);
            partial = static_cast<std::size_t>(std::max(0, limit - first));
            break;
        }
    }
    Image broken;
    broken.watchdog = watchdogBefore;
    Apply(broken, records, stop, partial);
    lines.clear();
    for (const auto& r : records)
        lines.push_back(Encode(in, r));
    if (endLine) lines.push_back(EndRecord(in));
    file = Join(in, lines, in.coin());
    loader.Load(file, watchdogBefore);
    loader.Check("corrupted file", broken, messages, file);
    // Nothing allocated by this input outlives it: libFuzzer looks for leaks when it does.
    loader.platform.events.clear();
    return 0;
}
