// gen_scripts DIR FIRST [LAST]: for each seed S in FIRST..LAST writes DIR/seed-S/golden.vbs, a
// random vintrel-batch session, and the HEX files it loads (by absolute path). The same seed
// gives the same bytes everywhere: std::mt19937's sequence is fixed, and no std distribution
// (their algorithms are not) is used.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

class Rng {
  public:
    explicit Rng(std::uint32_t seed) : g_(seed) {}
    int below(int n) { return static_cast<int>(g_() % static_cast<std::uint32_t>(n)); }
    int range(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <class T>
    const T& pick(const std::vector<T>& v) {
        return v[static_cast<std::size_t>(below(static_cast<int>(v.size())))];
    }

  private:
    std::mt19937 g_;
};

std::string Hex(int v, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, v >>= 4)
        s[static_cast<std::size_t>(i)] = kDigits[v & 0xF];
    return s;
}

// ---- programs -------------------------------------------------------------------------------

// Random fields {range, shift} drawn in order (the operands of | are not sequenced).
int Word(Rng& r, std::initializer_list<std::pair<int, int>> fields) {
    int w = 0;
    for (const auto& [n, shift] : fields)
        w |= r.below(n) << shift;
    return w;
}

// A file register, biased toward the special ones (00h-0Bh, 81h-8Bh with RP0 set).
int FileReg(Rng& r) {
    const int k = r.below(10);
    if (k < 5) return r.range(0x00, 0x0B);
    if (k < 9) return r.range(0x0C, 0x4F);
    return r.range(0x50, 0x7F);
}

std::vector<int> Program(Rng& r) {
    std::vector<int> p;
    const int size = r.range(6, 100);
    auto emit = [&p](std::initializer_list<int> words) { p.insert(p.end(), words); };
    auto target = [&] { return r.chance(85) ? r.below(size + 4) : r.below(2048); };
    constexpr int kMovlw = 0x3000, kMovwf = 0x0080, kBsf = 0x1400, kBcf = 0x1000;
    constexpr int kRp0 = 5 << 7 | 0x03;  // STATUS,5
    while (static_cast<int>(p.size()) < size) {
        const int k = r.below(16);
        if (k < 4) {  // byte-oriented file operation
            p.push_back(Word(r, {{16, 8}, {2, 7}}) | FileReg(r));
        } else if (k < 6) {  // BCF, BSF, BTFSC, BTFSS
            p.push_back(0x1000 | Word(r, {{4, 10}, {8, 7}}) | FileReg(r));
        } else if (k < 8) {  // MOVLW, RETLW, IORLW, ANDLW, XORLW, SUBLW, ADDLW
            const int op = r.pick(std::vector<int>{0x30, 0x34, 0x38, 0x39, 0x3A, 0x3C, 0x3E});
            p.push_back(op << 8 | r.below(256));
        } else if (k < 10) {  // CALL, GOTO
            const int op = r.chance(50) ? 0x2000 : 0x2800;
            p.push_back(op | target());
        } else if (k == 10) {  // RETURN, RETFIE, SLEEP, CLRWDT, OPTION, TRIS, NOP
            p.push_back(r.pick(std::vector<int>{0x08, 0x09, 0x63, 0x64, 0x62, 0x65, 0x66, 0}));
        } else if (k == 11) {  // EEPROM write: address, data, unlock 55h/AAh into EECON2, WR
            const bool wren = r.chance(80), swap = r.chance(15);
            emit({kMovlw | r.below(70), kMovwf | 0x09, kMovlw | r.below(256), kMovwf | 0x08,
                  kBsf | kRp0});
            if (wren) p.push_back(kBsf | 2 << 7 | 0x08);
            emit({kMovlw | (swap ? 0xAA : 0x55), kMovwf | 0x09, kMovlw | (swap ? 0x55 : 0xAA),
                  kMovwf | 0x09, kBsf | 1 << 7 | 0x08});
            // Wait for WR to clear.
            if (r.chance(50)) emit({0x1888, 0x2800 | static_cast<int>(p.size())});
            p.push_back(kBcf | kRp0);
        } else if (k == 12) {  // EEPROM read
            emit({kMovlw | r.below(70), kMovwf | 0x09, kBsf | kRp0, kBsf | 0x08, kBcf | kRp0,
                  0x0808});
        } else if (k == 13) {  // FSR/INDF, now and then pointing into bank 1
            const int f = FileReg(r);
            emit({kMovlw | f | (r.chance(20) ? 0x80 : 0), kMovwf | 0x04,
                  r.pick(std::vector<int>{0x0A80, 0x0800, 0x0180, 0x0080, 0x0780})});
        } else if (k == 14) {  // PCLATH and a computed jump through PCL
            emit({kMovlw | r.below(4), kMovwf | 0x0A, kMovlw | r.below(size + 4),
                  r.chance(50) ? 0x0782 : kMovwf | 0x02});
        } else if (r.chance(50)) {  // OPTION, TRISA or TRISB through bank 1
            emit({kBsf | kRp0, kMovlw | r.below(256), kMovwf | r.pick(std::vector<int>{1, 5, 6}),
                  kBcf | kRp0});
        } else {  // a counted loop
            const int c = r.range(0x0C, 0x4F), here = static_cast<int>(p.size()) + 2;
            emit({kMovlw | r.range(1, 40), kMovwf | c, 0x0B80 | c, 0x2800 | here});
        }
    }
    if (r.chance(70)) p.push_back(0x2800);
    return p;
}

// ---- HEX files ------------------------------------------------------------------------------

std::string Record(int address, int type, const std::vector<int>& bytes) {
    int sum = static_cast<int>(bytes.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string s = ":" + Hex(static_cast<int>(bytes.size()), 2) + Hex(address, 4) + Hex(type, 2);
    for (int b : bytes) {
        s += Hex(b, 2);
        sum += b;
    }
    return s + Hex(-sum & 0xFF, 2);
}

// The records of a program with optional EEPROM data, configuration word and ID.
std::vector<std::string> HexRecords(Rng& r, const std::vector<int>& prog) {
    std::vector<std::string> lines;
    const int per = r.chance(70) ? 8 : r.range(1, 16);
    for (std::size_t i = 0; i < prog.size(); i += static_cast<std::size_t>(per)) {
        std::vector<int> bytes;
        for (std::size_t k = i; k < prog.size() && k < i + static_cast<std::size_t>(per); ++k)
            bytes.insert(bytes.end(), {prog[k] & 0xFF, prog[k] >> 8});
        lines.push_back(Record(static_cast<int>(2 * i), 0, bytes));
    }
    if (r.chance(50)) {
        const int first = r.below(56), n = r.range(1, 8);
        std::vector<int> bytes;
        for (int k = 0; k < n; ++k)
            bytes.insert(bytes.end(), {r.below(256), 0});
        lines.push_back(Record(0x4200 + 2 * first, 0, bytes));
    }
    if (r.chance(30)) lines.push_back(Record(0x4000, 0, {1, 0, 2, 0, 3, 0, 4, 0}));
    if (r.chance(50)) lines.push_back(Record(0x400E, 0, {r.chance(50) ? 0xF5 : 0xF1, 0x3F}));
    lines.push_back(Record(0, 1, {}));
    return lines;
}

const std::vector<std::string> kDefects = {
    "checksum", "type",    "address", "short", "nonhex",   "noend",  "empty",  "missing",
    "nocolon",  "badword", "blank",   "crlf",  "overflow", "folder", "endcks", "lower"};

// Writes a HEX file (good, or with one defect) and returns the path to load.
std::string WriteHex(Rng& r, const std::string& dir, int n, const std::string& defect) {
    if (defect == "folder") return dir;
    const std::string path = dir + "/" + std::to_string(n) + "-" + defect + ".hex";
    if (defect == "missing") return path;
    std::vector<std::string> lines = HexRecords(r, Program(r));
    std::string& victim =
        lines[static_cast<std::size_t>(r.below(static_cast<int>(lines.size()) - 1))];
    const int body = static_cast<int>(victim.size()) - 1;
    if (defect == "checksum")
        victim = victim.substr(0, victim.size() - 2) + Hex(r.range(0, 255), 2);
    if (defect == "type") victim.replace(7, 2, Hex(r.range(2, 5), 2));
    if (defect == "address") victim = Record(2 * r.range(0x0800, 0x1FFF), 0, {0, 0, 1, 0});
    if (defect == "short") victim.resize(static_cast<std::size_t>(r.range(1, body)));
    if (defect == "nonhex") {
        const int at = r.range(1, body);
        victim[static_cast<std::size_t>(at)] = "GZxg -;"[r.below(7)];
    }
    if (defect == "noend") lines.pop_back();
    if (defect == "empty") lines.clear();
    if (defect == "nocolon") victim[0] = r.chance(50) ? ';' : ' ';
    if (defect == "badword")
        victim = Record(r.chance(50) ? 0x4200 : 2 * r.below(64), 0, {0x12, 0x40});
    if (defect == "blank") victim.clear();
    if (defect == "overflow") victim = Record(2 * r.range(1016, 1023), 0, std::vector<int>(32, 1));
    if (defect == "endcks") lines.back() = ":00000001FE";
    if (defect == "lower")
        for (char& c : victim)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::ofstream f(path, std::ios::binary);
    for (const auto& l : lines)
        f << l << (defect == "crlf" ? "\r\n" : "\n");
    return path;
}

// ---- scripts --------------------------------------------------------------------------------

class Script {
  public:
    Script(Rng& r, std::string dir) : r_(r), dir_(std::move(dir)) {}

    std::string text() const { return s_.str(); }

    void load(bool good) {
        const std::string path =
            WriteHex(r_, dir_, files_++, good ? std::string("good") : r_.pick(kDefects));
        if (r_.chance(85)) {
            line("load " + path);
        } else {
            line("choose " + path);
            if (r_.chance(20)) line("choose");  // the second answer (Cancel) wins
            line("click cargar");
        }
    }

    std::string index(const std::string& name) {
        if (name == "REG") {
            static const int kBank1[] = {129, 133, 134, 136, 137};
            const int k = r_.below(90);
            return " " + std::to_string(k < 80 ? k : kBank1[k % 5]);
        }
        if (name == "EE") return " " + std::to_string(r_.below(64));
        if (name == "pila") return " " + std::to_string(r_.below(8));
        if (name == "PA") return " " + std::to_string(r_.below(5));
        if (name == "PB") return " " + std::to_string(r_.below(8));
        if (name == "RP") return " " + std::to_string(r_.below(2));
        if (name == "prg") return r_.chance(20) ? "" : " " + row();
        return "";
    }
    std::string row() {
        const int v = r_.chance(80) ? r_.below(64) : r_.below(1024);
        return r_.chance(50) ? std::to_string(v) : "0x" + Hex(v, 3);
    }
    std::string value() {
        static const std::vector<std::string> odd = {"1FF", "4000", "FFFF", "400",  "zz",  "",
                                                     "ab",  "-1",   " 12",  "3FFF", "100", "7"};
        if (r_.chance(25)) return r_.pick(odd);
        return Hex(r_.below(256), 2);
    }

    void show() {
        static const std::vector<std::string> names = {
            "REG",    "EE",     "REGW",    "RegPC",    "pila",     "INDF",  "PA",       "PB",
            "RP",     "prg",    "direc",   "dato",     "FR",       "FREC",  "estsleep", "WATCHDOG",
            "SENTIM", "divtim", "ciclos",  "eje1",     "ejecutar", "break", "por",      "MCLR",
            "WDT",    "TOCKI",  "aceptar", "cancelar", "cargar"};
        const std::string& n = r_.pick(names);
        line("show " + n + index(n));
    }

    // A Modificar edit: pick a cell or a listing row, type a value, accept or cancel.
    void edit() {
        static const std::vector<std::string> cells = {"REG", "REG", "EE", "REGW", "RegPC", "prg"};
        const std::string& c = r_.pick(cells);
        if (c == "prg") {
            line("select prg " + row());
        } else if (r_.chance(95)) {
            line("click " + c + index(c));
        }
        if (r_.chance(85)) line("type dato " + value());
        if (r_.chance(80)) line(r_.chance(85) ? "click aceptar" : "click cancelar");
    }

    // A panel click or typed text that can also happen during a run.
    void stimulus(bool inRun) {
        const int v = r_.below(2000);
        std::vector<std::string> simple = {"click PA " + std::to_string(v % 5),
                                           "click PB " + std::to_string(v % 8),
                                           "click TOCKI",
                                           "click por",
                                           "click MCLR",
                                           "click WDT",
                                           "click WATCHDOG",
                                           "click estsleep",
                                           "type FR " + std::to_string(v % 3),
                                           "type FREC " + std::to_string(v),
                                           "state",
                                           "listing " + std::to_string(v % 40) + " 60"};
        if (inRun) simple.insert(simple.end(), {"click eje1", "step 2"});  // disabled then
        const int n = static_cast<int>(simple.size()), k = r_.below(n + 3);
        if (k < n) {
            line(simple[static_cast<std::size_t>(k)]);
        } else if (k == n) {
            line("select prg " + row());
            line("click break");
        } else if (k == n + 1) {
            show();
        } else {
            edit();
        }
    }

    // Queues events for the next run's yields, then runs.
    void run() {
        const bool viaButton = r_.chance(15);
        const int n = r_.chance(70) ? r_.range(1, 1500) : r_.range(1500, 5000);
        const int events = r_.below(6);
        for (int i = 0; i < events; ++i) {
            const std::string at = "at " + std::to_string(r_.range(1, n + n / 4)) + " ";
            const int k = r_.below(10);
            if (k < 6) {
                prefix_ = at;
                stimulus(true);
                prefix_.clear();
            } else if (k < 8 && !viaButton) {
                // The stop, maybe followed by a nested run counting on the same yields.
                line(at + (r_.chance(50) ? "click ejecutar" : "run"));
                if (r_.chance(50)) line(at + "run");
            } else if (k == 8) {
                prefix_ = at;
                load(r_.chance(60));
                prefix_.clear();
            } else {
                line(at + (r_.chance(50) ? "click cancelar" : "click aceptar"));
            }
        }
        if (viaButton) {
            // An unlimited run, stopped by a queued click on the button.
            line("at " + std::to_string(n) + " click ejecutar");
            line("click ejecutar");
        } else {
            line(r_.chance(10) ? "run 0x" + Hex(n, 4) : "run " + std::to_string(n));
        }
    }

    void body() {
        if (r_.chance(90)) load(r_.chance(92));
        const int actions = r_.range(6, 30);
        for (int i = 0; i < actions; ++i) {
            const int k = r_.below(100);
            if (k < 14) {
                const int n = r_.chance(90) ? r_.below(40) : r_.range(100, 400);
                line(n == 1 && r_.chance(50) ? "step" : "step " + std::to_string(n));
            } else if (k < 32) {
                run();
            } else if (k < 46) {
                edit();
            } else if (k < 58) {
                stimulus(false);
            } else if (k < 64) {
                load(r_.chance(40));
            } else if (k < 74) {
                line("state");
            } else if (k < 80) {
                const int from = r_.below(64);
                line(r_.chance(10) ? "listing"
                                   : "listing " + std::to_string(from) + " " +
                                         std::to_string(from + r_.below(20)));
            } else if (k < 92) {
                show();
            } else if (k < 95) {
                line(r_.pick(std::vector<std::string>{
                    "click aceptar", "click cancelar", "click dato", "click salvar", "click pila 3",
                    "type direc D-05", "choose", "click cargar"}));
            } else {
                line("# comment " + std::to_string(i));
                line("");
            }
        }
        const int end = r_.below(100);
        if (end < 5) {
            static const std::vector<std::string> bad = {
                "bogus",          "click REG 80",    "run 0",    "select REG 3", "step 1 2",
                "at 0 state",     "at 5 at 6 state", "click",    "show PB 8",    "step -1",
                "listing 0 1024", "type REG 3 1",    "click 0x", "run 5000 x",   "at 3"};
            line(r_.pick(bad));
            line("state");
        } else if (end < 10) {
            line(r_.pick(std::vector<std::string>{"expect REGW " + Hex(r_.below(256), 2),
                                                  "expect ejecutar &Ejecutar", "expect estsleep 0",
                                                  "expect RegPC " + Hex(r_.below(64), 3)}));
            line("state");
        } else if (end < 13) {
            line("click fin");
            line("state");  // never reached
        } else {
            line("state");
        }
    }

  private:
    void line(const std::string& l) { s_ << prefix_ << l << '\n'; }

    Rng& r_;
    std::string dir_;
    std::ostringstream s_;
    std::string prefix_;
    int files_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: gen_scripts DIR FIRST [LAST]\n";
        return 2;
    }
    const std::filesystem::path root = std::filesystem::absolute(argv[1]);
    const long first = std::strtol(argv[2], nullptr, 10);
    const long last = argc == 4 ? std::strtol(argv[3], nullptr, 10) : first;
    for (long seed = first; seed <= last; ++seed) {
        const std::filesystem::path dir = root / ("seed-" + std::to_string(seed));
        std::filesystem::create_directories(dir);
        Rng r(static_cast<std::uint32_t>(seed));
        Script s(r, dir.string());
        s.body();
        std::ofstream(dir / "golden.vbs", std::ios::binary) << s.text();
    }
    return 0;
}
