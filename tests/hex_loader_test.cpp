#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/form1.h"
#include "platform/scripted_platform.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;

// A record with a correct Intel HEX checksum over the bytes written in `data`.
std::string Rec(int count, int address, int type, const std::string& data) {
    char head[16];
    std::snprintf(head, sizeof head, ":%02X%04X%02X", count, address, type);
    int sum = count + (address >> 8) + (address & 0xFF) + type;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        sum += std::stoi(data.substr(i, 2), nullptr, 16);
    char tail[4];
    std::snprintf(tail, sizeof tail, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return head + data + tail;
}

// The same record with its checksum off by one.
std::string BadSum(std::string rec) {
    const int cs = std::stoi(rec.substr(rec.size() - 2), nullptr, 16);
    char tail[4];
    std::snprintf(tail, sizeof tail, "%02X", (cs + 1) & 0xFF);
    rec.replace(rec.size() - 2, 2, tail);
    return rec;
}

const std::string kEnd = ":00000001FF";

// Output of gpasm -a inhx8m for a small program with EEPROM data, ID words and
// __config 0x3FF5 (watchdog enabled).
const std::vector<std::string> kAssembled = {
    ":0C0000008316FF30860083128C0A04284F",  // bsf 3,5 / movlw FF / movwf 6 / bcf 3,5 / ...
    ":084000000100020003000400AE",          // ID words
    ":02400E00F53F7C",                      // configuration word
    ":044200001200340074",                  // EEPROM 12 34
    ":00000001FF",
};

class Loader : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir_ =
            fs::temp_directory_path() / ("vintrel-hex-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string WriteRaw(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path.string();
    }
    std::string Write(const std::vector<std::string>& lines, const std::string& eol = "\n",
                      const std::string& name = "prog.hex") {
        std::string bytes;
        for (const auto& l : lines)
            bytes += l + eol;
        return WriteRaw(name, bytes);
    }
    void Load(const std::string& path) {
        p.pendingChoice = path;
        f.cargar_Click();
    }
    std::string Load(const std::vector<std::string>& lines) {
        const std::string path = Write(lines);
        Load(path);
        return path;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> m;
        for (const auto& e : p.events)
            if (e.rfind("message ", 0) == 0) m.push_back(e);
        return m;
    }
    static std::string FileMessage(const std::string& path, const std::string& sentence) {
        return "message " + JsonString("Error en fichero " + path + ".\r" + sentence);
    }
    static std::string ReadError() { return "message " + JsonString("Error en lectura"); }
    int Word(int a) const { return f.ProgramMemory[static_cast<std::size_t>(a)]; }

    ScriptedPlatform p;
    Form1 f{p};
    fs::path dir_;
};

// ---- real files, line terminators ----

class LoaderEol : public Loader,
                  public ::testing::WithParamInterface<std::tuple<const char*, bool>> {};

TEST_P(LoaderEol, AssemblerOutputLoadsSilently) {
    const auto [eol, lastTerminated] = GetParam();
    std::string bytes;
    for (std::size_t i = 0; i < kAssembled.size(); ++i) {
        bytes += kAssembled[i];
        if (i + 1 < kAssembled.size() || lastTerminated) bytes += eol;
    }
    Load(WriteRaw("prog.hex", bytes));

    EXPECT_EQ(Messages(), std::vector<std::string>{});
    const int expected[] = {0x1683, 0x30FF, 0x0086, 0x1283, 0x0A8C, 0x2804};
    for (int a = 0; a < 6; ++a)
        EXPECT_EQ(Word(a), expected[a]) << a;
    EXPECT_EQ(Word(6), 0);
    EXPECT_TRUE(f.EE[0].textIs("12"));
    EXPECT_TRUE(f.EE[1].textIs("34"));
    EXPECT_TRUE(f.EE[2].textIs("00"));
    EXPECT_EQ(f.WATCHDOG.value(), 1);
    EXPECT_TRUE(f.WDT.enabled());
    ASSERT_EQ(f.prg.count(), kProgramWords);
    EXPECT_EQ(f.prg.row(0), "000\t1683\tBSF 03,5");
    EXPECT_EQ(f.prg.row(5), "005\t2804\tGOTO 004");
    EXPECT_EQ(p.lastFilter, "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*");
    EXPECT_EQ(p.lastDefaultExt, "hex");
}

INSTANTIATE_TEST_SUITE_P(Terminators, LoaderEol,
                         ::testing::Combine(::testing::Values("\n", "\r\n", "\r"),
                                            ::testing::Bool()));

TEST_F(Loader, MixedTerminatorsAndBlankLineAfterEnd) {
    // A blank line before the end record is a line of its own: it stops the load.
    Load(WriteRaw("a.hex", Rec(2, 0, 0, "0130") + "\r\n" + Rec(2, 2, 0, "0230") + "\r" +
                               Rec(2, 4, 0, "0330") + "\n" + kEnd + "\r\n"));
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(Word(0), 0x3001);
    EXPECT_EQ(Word(1), 0x3002);
    EXPECT_EQ(Word(2), 0x3003);

    const std::string path = WriteRaw("b.hex", Rec(2, 0, 0, "0130") + "\n\n" + kEnd + "\n");
    Load(path);
    EXPECT_EQ(Messages().back(), FileMessage(path, "Formato incorrecto."));
    EXPECT_EQ(Word(0), 0x3001);
}

// ---- messages of carga, their texts and order ----

struct MessageCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::string> sentences;
};

TEST_F(Loader, MessagesAndTheirOrder) {
    const std::string good = Rec(2, 0, 0, "0130");
    const std::vector<MessageCase> cases = {
        {"complete", {good, kEnd}, {}},
        {"no end", {good}, {"No hay código de fin."}},
        {"bad sum then end", {BadSum(good), kEnd}, {"Error de checksum."}},
        {"two bad sums then end", {BadSum(good), BadSum(good), kEnd}, {"Error de checksum."}},
        {"bad sum, no end", {BadSum(good)}, {"No hay código de fin.", "Error de checksum."}},
        {"bad end then end", {good, ":00000001FE", kEnd}, {"Error de checksum."}},
        {"bad end last", {good, ":00000001FE"}, {"No hay código de fin.", "Error de checksum."}},
        {"end with data characters", {":00000001AAFF"}, {}},
        {"type 02", {good, ":020000020000FC", kEnd}, {"Formato incorrecto."}},
        {"type 04", {good, ":020000040000FA", kEnd}, {"Formato incorrecto."}},
        {"comment line", {good, "; comment", kEnd}, {"Formato incorrecto."}},
        {"bad sum then format", {BadSum(good), "x", kEnd}, {"Formato incorrecto."}},
        {"program word 4000h", {Rec(2, 0, 0, "0040"), kEnd}, {"Código de operación no valido."}},
        {"eeprom high byte", {Rec(2, 0x4200, 0, "1201"), kEnd}, {"Código de operación no valido."}},
        {"bad sum then bad word",
         {BadSum(Rec(2, 0, 0, "0040")), kEnd},
         {"Código de operación no valido."}},
        {"word 2047", {Rec(2, 0x0FFE, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"word 2004", {Rec(2, 0x4008, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"word 2006", {Rec(2, 0x400C, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"word 2008", {Rec(2, 0x4010, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"word 20FF", {Rec(2, 0x41FE, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"word 2140", {Rec(2, 0x4280, 0, "0000"), kEnd}, {"Dirección no valida."}},
        {"id with bad sum", {BadSum(Rec(8, 0x4000, 0, "0100020003000400")), kEnd}, {}},
        {"last id word with bad sum", {BadSum(Rec(2, 0x4006, 0, "0F00")), kEnd}, {}},
        {"config with bad sum", {BadSum(Rec(2, 0x400E, 0, "F53F")), kEnd}, {}},
        {"eeprom with bad sum", {BadSum(Rec(2, 0x4200, 0, "1200")), kEnd}, {"Error de checksum."}},
    };
    for (const auto& c : cases) {
        p.events.clear();
        const std::string path = Load(c.lines);
        std::vector<std::string> expected;
        for (const auto& s : c.sentences)
            expected.push_back(FileMessage(path, s));
        EXPECT_EQ(Messages(), expected) << c.name;
        if (!c.sentences.empty()) {
            EXPECT_EQ(p.lastAlign, MessageAlign::Right) << c.name;
            EXPECT_EQ(p.lastButtons, MessageButtons::Ok) << c.name;
        }
    }
}

TEST_F(Loader, ReadErrors) {
    const std::vector<MessageCase> cases = {
        {"empty file", {}, {}},
        {"record without checksum room", {Rec(2, 0, 0, "0130"), ":000000000", kEnd}, {}},
        {"record type only", {":00000000", kEnd}, {}},
        {"truncated type", {":0000000"}, {}},
        {"start code only", {":"}, {}},
        {"short id record", {":024000", kEnd}, {}},
        {"program word 1024", {Rec(2, 0x0800, 0, "0000"), kEnd}, {}},
        {"record running past word 1023", {Rec(4, 0x07FE, 0, "01300230"), kEnd}, {}},
        {"eeprom past cell 63", {Rec(4, 0x427E, 0, "12003400"), kEnd}, {}},
    };
    for (const auto& c : cases) {
        p.events.clear();
        Load(c.lines);
        EXPECT_EQ(Messages(), std::vector<std::string>{ReadError()}) << c.name;
        EXPECT_EQ(p.lastAlign, MessageAlign::Default) << c.name;
        EXPECT_EQ(p.lastButtons, MessageButtons::Ok) << c.name;
    }

    p.events.clear();
    Load((dir_ / "missing.hex").string());
    EXPECT_EQ(Messages(), std::vector<std::string>{ReadError()});
}

// Only a regular file is read: anything else could block the window for good (a FIFO without a
// writer) or never end (a device). Each is refused at once, whatever the open would do.
TEST_F(Loader, OnlyRegularFilesAreRead) {
    fs::create_directories(dir_ / "folder.hex");
    const std::string fifo = (dir_ / "pipe.hex").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = (dir_ / "link.hex").string();
    fs::create_symlink(fifo, link);
    const std::string regular = Write({Rec(2, 0, 0, "0130"), kEnd}, "\n", "real.hex");
    const std::string linkToRegular = (dir_ / "real-link.hex").string();
    fs::create_symlink(regular, linkToRegular);

    const struct {
        std::string path;
        bool read;
    } cases[] = {
        {(dir_ / "folder.hex").string(), false},
        {fifo, false},  // no writer: a blocking open would wait for ever
        {link, false},
        {"/dev/zero", false},  // endless
        {"/dev/null", false},
        {"/dev/urandom", false},
        {regular, true},
        {linkToRegular, true},
    };
    // A load that blocks ends the test program instead of hanging it.
    ::alarm(20);
    for (const auto& c : cases) {
        p.events.clear();
        f.ProgramMemory[0] = 0;
        Load(c.path);
        if (c.read) {
            EXPECT_EQ(Messages(), std::vector<std::string>{}) << c.path;
            EXPECT_EQ(Word(0), 0x3001) << c.path;
        } else {
            EXPECT_EQ(Messages(), std::vector<std::string>{ReadError()}) << c.path;
        }
    }
    ::alarm(0);
}

// No valid record is longer than 521 characters; a line past 1024 is a malformed record, found
// without reading the rest of it.
TEST_F(Loader, OverlongLinesAreMalformedRecords) {
    const std::string good = Rec(2, 0, 0, "0130");
    // Characters past the byte count are ignored, so a record may be padded up to the limit.
    const std::string longest = Rec(2, 2, 0, "0230" + std::string(1024 - 15, '0'));
    ASSERT_EQ(longest.size(), 1024u);
    const std::string overlong = Rec(2, 2, 0, "0230" + std::string(1024 - 14, '0'));

    const struct {
        const char* name;
        std::string bytes;
        const char* sentence;  // none: loads silently
        int word1;
    } cases[] = {
        {"1024 characters", good + "\n" + longest + "\r\n" + kEnd + "\n", nullptr, 0x3002},
        {"1025 characters", good + "\n" + overlong + "\n" + kEnd + "\n", "Formato incorrecto.", 0},
        {"1025 characters, last line", good + "\n" + overlong, "Formato incorrecto.", 0},
        {"1025 colons", good + "\r" + std::string(1025, ':') + "\r" + kEnd, "Formato incorrecto.",
         0},
    };
    for (const auto& c : cases) {
        p.events.clear();
        const std::string path = WriteRaw("long.hex", c.bytes);
        Load(path);
        std::vector<std::string> expected;
        if (c.sentence) expected.push_back(FileMessage(path, c.sentence));
        EXPECT_EQ(Messages(), expected) << c.name;
        EXPECT_EQ(Word(0), 0x3001) << c.name;
        EXPECT_EQ(Word(1), c.word1) << c.name;
    }

    // A sparse file of 1 GiB without a line break: read as far as the limit only.
    const fs::path huge = dir_ / "huge.hex";
    WriteRaw("huge.hex", good + "\n:");
    fs::resize_file(huge, std::uintmax_t{1} << 30);
    p.events.clear();
    const auto start = std::chrono::steady_clock::now();
    Load(huge.string());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(Messages(),
              std::vector<std::string>{FileMessage(huge.string(), "Formato incorrecto.")});
    EXPECT_EQ(Word(0), 0x3001);
}

// ---- what stays stored after a stop ----

TEST_F(Loader, StopKeepsWhatWasStoredAndReadsNoFurther) {
    const std::string after1 = Rec(2, 0x20, 0, "AA30");    // word 10h
    const std::string after2 = Rec(2, 0x400E, 0, "FF3F");  // watchdog on
    const std::vector<std::vector<std::string>> stops = {
        {":020000040000FA"},                // format
        {Rec(6, 0x10, 0, "053006400730")},  // bad word mid-record
        {Rec(2, 0x0FFE, 0, "0000")},        // invalid address
        {Rec(2, 0x0800, 0, "0000")},        // read error
        {kEnd},                             // end
    };
    for (const auto& stop : stops) {
        std::vector<std::string> lines = {Rec(4, 0, 0, "01300230"), Rec(2, 0x4200, 0, "7700")};
        lines.insert(lines.end(), stop.begin(), stop.end());
        lines.push_back(after1);
        lines.push_back(after2);
        lines.push_back(kEnd);
        f.WATCHDOG.setValue(0);
        Load(lines);
        EXPECT_EQ(Word(0), 0x3001) << stop[0];
        EXPECT_EQ(Word(1), 0x3002) << stop[0];
        EXPECT_TRUE(f.EE[0].textIs("77")) << stop[0];
        EXPECT_EQ(Word(0x10), 0) << stop[0];
        EXPECT_EQ(f.WATCHDOG.value(), 0) << stop[0];
    }
    // The words of the rejected record before the bad one are kept, the later ones are not.
    Load({Rec(6, 0x10, 0, "053006400730"), kEnd});
    EXPECT_EQ(Word(8), 0x3005);
    EXPECT_EQ(Word(9), 0);
    EXPECT_EQ(Word(10), 0);
    // A record running past the end of memory keeps its words up to word 1023.
    Load({Rec(4, 0x07FE, 0, "01300230"), kEnd});
    EXPECT_EQ(Word(1023), 0x3001);
    // The same for the last EEPROM cell.
    Load({Rec(4, 0x427E, 0, "12003400"), kEnd});
    EXPECT_TRUE(f.EE[63].textIs("12"));
}

// ---- the word layout ----

TEST_F(Loader, WordsAndRounding) {
    struct Case {
        std::string line;
        std::vector<std::pair<int, int>> words;  // address, value
    };
    const std::vector<Case> cases = {
        {Rec(2, 0, 0, "FF3F"), {{0, 0x3FFF}, {1, 0x1111}}},
        {":02000000ff3fc0", {{0, 0x3FFF}, {1, 0x1111}}},                   // lower-case digits
        {Rec(2, 5, 0, "3412"), {{2, 0x1234}, {1, 0x1111}, {3, 0}}},        // 2.5 -> 2
        {Rec(2, 7, 0, "3412"), {{4, 0x1234}, {3, 0}}},                     // 3.5 -> 4
        {Rec(2, 3, 0, "3412"), {{2, 0x1234}, {1, 0x1111}}},                // 1.5 -> 2
        {Rec(3, 0, 0, "341278"), {{0, 0x1234}, {1, 0x0078}}},              // 1.5 words -> 2
        {Rec(5, 0, 0, "3412781600"), {{0, 0x1234}, {1, 0x1678}, {2, 0}}},  // 2.5 words -> 2
        {Rec(4, 2044, 0, "01300230"), {{1022, 0x3001}, {1023, 0x3002}}},
        // The data field may be shorter than the byte count: missing bytes read as 0, a byte cut
        // to one digit as that digit.
        {Rec(4, 0, 0, "FF3F"), {{0, 0x3FFF}, {1, 0}}},
        {":04000000FF3F1BD", {{0, 0x3FFF}, {1, 0x0001}}},
        // Characters beyond the byte count are ignored.
        {":02000000FF3F2222C0", {{0, 0x3FFF}, {1, 0x1111}}},
    };
    for (const auto& c : cases) {
        p.events.clear();
        // Word 1 is set by a first record so that a stored 0 can be told from no store.
        Load({Rec(2, 2, 0, "1111"), c.line, kEnd});
        EXPECT_EQ(Messages(), std::vector<std::string>{}) << c.line;
        for (auto [a, v] : c.words)
            EXPECT_EQ(Word(a), v) << c.line << " @" << a;
    }
}

TEST_F(Loader, ByteCountOneStoresNothingAndFailsTheStandardChecksum) {
    // One byte makes no word, so its data byte is not in the sum the loader checks.
    const std::string path = Load({Rec(1, 0, 0, "34"), kEnd});
    EXPECT_EQ(Word(0), 0);
    EXPECT_EQ(Messages(), std::vector<std::string>{FileMessage(path, "Error de checksum.")});
    p.events.clear();
    Load({":0100000034FF", kEnd});  // sum without the data byte
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    EXPECT_EQ(Word(0), 0);
}

TEST_F(Loader, ResultCodes) {
    const std::vector<std::pair<std::string, int>> cases = {
        {Rec(2, 0, 0, "0130"), 0},
        {BadSum(Rec(2, 0, 0, "0130")), 2},
        {"", 1},
        {" :00000001FF", 1},
        {":020000020000FC", 1},
        {Rec(2, 0, 0, "0040"), 3},
        {Rec(2, 0x4200, 0, "0001"), 3},
        {Rec(2, 0x0FFE, 0, "0000"), 4},
        {Rec(2, 0x4000, 0, "0000"), 0},
        {BadSum(Rec(2, 0x400E, 0, "0000")), 0},
        {kEnd, 5},
        {":00000001FE", 2},
        {":00000001", 2},
        {":01000001FE", 5},
    };
    for (auto [line, code] : cases) {
        std::string cad = line;
        EXPECT_EQ(f.extlinfic(cad), code) << line;
    }
    std::string shortRecord = ":000000000";
    EXPECT_THROW(f.extlinfic(shortRecord), std::exception);
}

// Garbage lines never crash or write outside the memories: each gives a result code or the read
// failure, and every stored word stays a 14-bit value.
TEST_F(Loader, GarbageLinesAreSafe) {
    const std::string alphabet = ":0123456789ABCDEFabcxg 4";
    std::mt19937 rng(1234);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 40);
    const std::string templ = Rec(8, 0x4200, 0, "1200340056007800");
    for (int i = 0; i < 20000; ++i) {
        std::string line = i < static_cast<int>(templ.size()) ? templ.substr(0, i) : ":";
        const int n = i < static_cast<int>(templ.size()) ? 0 : length(rng);
        for (int k = 0; k < n; ++k)
            line += alphabet[pick(rng)];
        try {
            const int code = f.extlinfic(line);
            ASSERT_TRUE(code >= 0 && code <= 5) << line;
        } catch (const std::exception&) {
        }
    }
    for (int w : f.ProgramMemory)
        ASSERT_TRUE(w >= 0 && w <= 0x3FFF);
    for (const auto& e : f.EE)
        ASSERT_TRUE(e.isHex(2));
}

// ---- configuration word and EEPROM ----

TEST_F(Loader, ConfigurationWordSetsTheWatchdogSwitch) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"F93F", 0}, {"FD3F", 1}, {"FF3F", 1}, {"F53F", 1}, {"0400", 1},
        {"0000", 0}, {"FB00", 0}, {"04FF", 1}, {"", 0},
    };
    for (auto [data, on] : cases) {
        f.WATCHDOG.setValue(on ? 0 : 1);
        Load({Rec(static_cast<int>(data.size() / 2), 0x400E, 0, data), kEnd});
        EXPECT_EQ(f.WATCHDOG.value(), on) << data;
        EXPECT_EQ(f.WDT.enabled(), on == 1) << data;
    }
    // A file without a configuration record leaves the switch alone.
    f.WATCHDOG.setValue(1);
    Load({Rec(2, 0, 0, "0130"), kEnd});
    EXPECT_EQ(f.WATCHDOG.value(), 1);
    EXPECT_TRUE(f.WDT.enabled());
}

TEST_F(Loader, EepromRecords) {
    Load({Rec(8, 0x4200, 0, "1200340056007800"), kEnd});
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    const char* expected[] = {"12", "34", "56", "78", "00"};
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(f.EE[static_cast<std::size_t>(i)].textIs(expected[i]));
    for (int a = 0; a < kProgramWords; ++a)
        ASSERT_EQ(Word(a), 0);

    Load({Rec(2, 0x427E, 0, "AB00"), Rec(2, 0x4204, 0, "0c00"), kEnd});
    EXPECT_TRUE(f.EE[63].textIs("AB"));
    EXPECT_TRUE(f.EE[2].textIs("0C"));
    EXPECT_TRUE(f.EE[0].textIs("00"));  // cleared by the new load

    // A wrong checksum still stores the record.
    Load({BadSum(Rec(2, 0x4202, 0, "5A00")), kEnd});
    EXPECT_TRUE(f.EE[1].textIs("5A"));
}

// ---- the dialog, the listing and the rest of the chip ----

TEST_F(Loader, CancelChangesNothingButRebuildsTheListing) {
    f.ProgramMemory[3] = 0x1234;
    f.EE[5].setText("AB");
    f.Breakpoints[3] = 1;
    p.pendingChoice.reset();
    f.cargar_Click();
    EXPECT_EQ(Word(3), 0x1234);
    EXPECT_TRUE(f.EE[5].textIs("AB"));
    EXPECT_EQ(f.Breakpoints[3], 1);
    EXPECT_EQ(Messages(), std::vector<std::string>{});
    ASSERT_EQ(f.prg.count(), kProgramWords);
    EXPECT_EQ(f.prg.row(3), "003 *\t1234\tBCF 34,4");
}

TEST_F(Loader, LoadClearsMemoriesAndBreakpoints) {
    for (auto& w : f.ProgramMemory)
        w = 0x3FFF;
    for (auto& e : f.EE)
        e.setText("FF");
    f.Breakpoints[0] = 1;
    f.Breakpoints[700] = 1;
    Load({Rec(2, 0, 0, "0130"), kEnd});
    EXPECT_EQ(Word(0), 0x3001);
    EXPECT_EQ(Word(1), 0);
    EXPECT_EQ(Word(1023), 0);
    for (const auto& e : f.EE)
        EXPECT_TRUE(e.textIs("00"));
    for (int b : f.Breakpoints)
        ASSERT_EQ(b, 0);
    for (int a = 0; a < kProgramWords; ++a)
        ASSERT_EQ(f.prg.row(a).find('*'), std::string::npos) << a;
    EXPECT_EQ(f.prg.row(1), "001\t0000\tNOP");

    // Also after a failed load the memories were cleared and the listing rebuilt.
    f.ProgramMemory[5] = 0x2805;
    f.Breakpoints[5] = 1;
    Load((dir_ / "missing.hex").string());
    EXPECT_EQ(Word(5), 0);
    EXPECT_EQ(f.Breakpoints[5], 0);
    EXPECT_EQ(f.prg.row(5), "005\t0000\tNOP");
}

TEST_F(Loader, PathKeepsItsCase) {
    const std::string path = Write({Rec(2, 0, 0, "0130")}, "\n", "Mixed Dir/Prog.HEX");
    Load(path);
    EXPECT_EQ(Word(0), 0x3001);
    EXPECT_EQ(Messages(), std::vector<std::string>{FileMessage(path, "No hay código de fin.")});
}

TEST_F(Loader, LeavesTheRestOfTheChipAlone) {
    f.REGW.setHex(0x55, 2);
    f.REG(0x0C).setHex(0x66, 2);
    f.RegPC.setHex(0x123, 3);
    f.pila[0].setHex(0x045, 3);
    f.CycleCount = 77;
    const int pc = f.ProgramCounter;
    Load({Rec(2, 0, 0, "0130"), kEnd});
    EXPECT_TRUE(f.REGW.textIs("55"));
    EXPECT_TRUE(f.REG(0x0C).textIs("66"));
    EXPECT_TRUE(f.RegPC.textIs("123"));
    EXPECT_TRUE(f.pila[0].textIs("045"));
    EXPECT_EQ(f.CycleCount, 77);
    EXPECT_EQ(f.ProgramCounter, pc);
}

}  // namespace
}  // namespace vintrel
