// Loading an INHX8M file into program memory, the data EEPROM and the watchdog switch.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/form1.h"

namespace vintrel {

namespace {

constexpr std::string_view kHexFilter =
    "Archivos hexadecimales (*.hex)|*.hex|Todos los archivos (*.*)|*.*";

// Result codes of extlinfic.
constexpr int kAccepted = 0;
constexpr int kBadFormat = 1;
constexpr int kBadChecksum = 2;
constexpr int kBadWord = 3;
constexpr int kBadAddress = 4;
constexpr int kEndOfFile = 5;

// Word-address regions of a data record's first word.
constexpr int kEepromFirst = 0x2100, kEepromLast = 0x213F;
constexpr int kIdFirst = 0x2000, kIdLast = 0x2003;
constexpr int kConfigWord = 0x2007;
constexpr int kProgramLast = 2046;

// A failure that no result code expresses: the file cannot be opened or read, or a record
// would store outside program memory or the EEPROM. carga ends the load on it.
class ReadFailure : public std::runtime_error {
  public:
    ReadFailure() : std::runtime_error("Error en lectura") {}
};

// Characters [pos, pos + len) of s, cut at its end: a field past the end is empty or short,
// and an empty field reads as 0. pos counts from 0.
std::string_view Field(std::string_view s, std::size_t pos, std::size_t len) {
    if (pos >= s.size()) return {};
    return s.substr(pos, len);
}

int HexField(std::string_view s, std::size_t pos, std::size_t len) {
    return static_cast<int>(HexValue(Field(s, pos, len)));
}

// n / 2 rounded to the nearest whole number, a half going to the even neighbour.
int HalfToEven(int n) {
    const int q = n >> 1;
    if ((n & 1) == 0) return q;
    return (q & 1) == 0 ? q : q + 1;
}

// The longest line read: a valid record has at most 521 characters, so anything past this is
// no record, and reading stops there instead of holding an endless line in memory.
constexpr std::size_t kMaxLine = 1024;

// A regular file read byte for byte as lines; a line ends at LF, CR or CRLF, and the terminator
// is not part of it. Closed when it goes out of scope.
class LineFile {
  public:
    // Anything but a regular file (a FIFO, a directory, a device) cannot be opened: it could
    // block the window or never end. O_NONBLOCK keeps the open itself from waiting for a
    // FIFO's writer; it has no effect on the reads of a regular file.
    explicit LineFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw ReadFailure();
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw ReadFailure();
        }
        file_.reset(::fdopen(fd, "rb"));
        if (!file_) {
            ::close(fd);
            throw ReadFailure();
        }
    }

    bool atEnd() {
        const int c = std::getc(file_.get());
        if (c == EOF) {
            if (std::ferror(file_.get())) throw ReadFailure();
            return true;
        }
        std::ungetc(c, file_.get());
        return false;
    }

    // Reading at the end of the file is a failure, as is any read error. A line longer than
    // kMaxLine is not read to its end: nothing is returned and tooLong() tells.
    std::string readLine() {
        if (atEnd()) throw ReadFailure();
        std::string line;
        for (;;) {
            const int c = std::getc(file_.get());
            if (c == EOF) {
                if (std::ferror(file_.get())) throw ReadFailure();
                break;
            }
            if (c == '\n') break;
            if (c == '\r') {
                const int next = std::getc(file_.get());
                if (next == '\n') break;
                if (next == EOF) {
                    if (std::ferror(file_.get())) throw ReadFailure();
                } else {
                    std::ungetc(next, file_.get());
                }
                break;
            }
            if (line.size() == kMaxLine) {
                tooLong_ = true;
                return {};
            }
            line.push_back(static_cast<char>(c));
        }
        return line;
    }

    bool tooLong() const { return tooLong_; }

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool tooLong_ = false;
};

}  // namespace

void Form1::cargar_Click() {
    // The path is used exactly as chosen: on a case-sensitive file system lower-casing it
    // would open a different file, or none.
    const std::string nomhex = platform_.openFileDialog(kHexFilter, "hex");
    if (!nomhex.empty()) {
        for (auto& cell : EE)
            cell.setHex(0, 2);
        ProgramMemory.fill(0);
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
            result = file.tooLong() ? kBadFormat : extlinfic(line);
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

int Form1::extlinfic(std::string& cad) {
    if (cad.empty() || cad[0] != ':') return kBadFormat;
    cad.erase(0, 1);
    const std::string_view rec = cad;

    const int count = HexField(rec, 0, 2);
    const int address = HexField(rec, 2, 4);
    const int type = HexField(rec, 6, 2);
    const int checksum =
        static_cast<int>(HexValue(rec.size() >= 2 ? rec.substr(rec.size() - 2) : rec));
    int sum = count + (address >> 8) + (address & 0xFF) + type;

    if (type == 1) return ((sum + checksum) & 0xFF) == 0 ? kEndOfFile : kBadChecksum;
    if (type != 0) return kBadFormat;

    // The data field is whatever lies between the record type and the checksum; a data record
    // without room for a checksum cannot be read.
    if (rec.size() < 10) throw ReadFailure();
    const std::string_view data = rec.substr(8, rec.size() - 10);

    // Word k's bytes are read from the data field alone, never from the checksum after it. The
    // field's length is not checked against the byte count: bytes missing at its end read as 0
    // and a byte cut to one character reads as that digit, so a short field stores zeros (or
    // the digit) and the checksum is the only witness of it.
    auto lowByte = [&](int k) { return HexField(data, 4 * static_cast<std::size_t>(k), 2); };
    auto highByte = [&](int k) { return HexField(data, 4 * static_cast<std::size_t>(k) + 2, 2); };

    const int first = HalfToEven(address);
    const int words = HalfToEven(count);

    const bool eeprom = first >= kEepromFirst && first <= kEepromLast;
    if (!eeprom) {
        if (first >= kIdFirst && first <= kIdLast) return kAccepted;
        if (first == kConfigWord) {
            WATCHDOG.setValue((lowByte(0) & 4) != 0 ? 1 : 0);
            return kAccepted;
        }
        if (first < 0 || first > kProgramLast) return kBadAddress;
    }

    for (int k = 0; k < words; ++k)
        sum += lowByte(k) + highByte(k);
    const int result = ((sum + checksum) & 0xFF) == 0 ? kAccepted : kBadChecksum;

    for (int k = 0; k < words; ++k) {
        const int low = lowByte(k);
        const int high = highByte(k);
        const int target = first + k;
        if (eeprom) {
            if (high > 0) return kBadWord;
            const int cell = target - kEepromFirst;
            if (cell >= kEepromCells) throw ReadFailure();
            EE[static_cast<std::size_t>(cell)].setHex(low, 2);
        } else {
            if (high > 0x3F) return kBadWord;
            if (target >= kProgramWords) throw ReadFailure();
            ProgramMemory[static_cast<std::size_t>(target)] = high * 256 + low;
        }
    }
    return result;
}

}  // namespace vintrel
