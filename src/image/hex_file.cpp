#include "image/hex_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace vintrel {

namespace {

// Word-address regions of a data record's first word.
constexpr int kEepromFirst = 0x2100, kEepromLast = 0x213F;
constexpr int kIdFirst = 0x2000, kIdLast = 0x2003;
constexpr int kConfigWord = 0x2007;
constexpr int kProgramLast = 2046;

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

}  // namespace

LineFile::LineFile(const std::string& path, std::size_t maxLine) : maxLine_(maxLine) {
    // O_NONBLOCK keeps the open itself from waiting for a FIFO's writer; it has no effect on the
    // reads of a regular file.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) throw ReadFailure();
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw ReadFailure();
    }
    size_ = static_cast<std::size_t>(st.st_size);
}

LineFile::~LineFile() {
    ::close(fd_);
}

bool LineFile::fill() {
    if (ended_) return false;
    ssize_t n;
    do {
        n = ::read(fd_, buffer_.data(), buffer_.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw ReadFailure();
    pos_ = 0;
    end_ = static_cast<std::size_t>(n);
    ended_ = n == 0;
    return !ended_;
}

std::string LineFile::readLine() {
    if (atEnd()) throw ReadFailure();
    std::string line;
    for (int c; (c = peek()) >= 0;) {
        if (c != '\n' && c != '\r' && line.size() == maxLine_) {
            tooLong_ = true;
            return {};
        }
        ++pos_;
        if (c == '\n') break;
        if (c == '\r') {
            if (peek() == '\n') ++pos_;
            break;
        }
        line.push_back(static_cast<char>(c));
    }
    return line;
}

void LineFile::skipRest() {
    tooLong_ = false;
    for (int c; (c = peek()) >= 0;) {
        ++pos_;
        if (c == '\n') return;
        if (c == '\r') {
            if (peek() == '\n') ++pos_;
            return;
        }
    }
}

int extlinfic(Chip& chip, std::string& cad) {
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
            chip.WATCHDOG.setValue((lowByte(0) & 4) != 0 ? 1 : 0);
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
            chip.EE[static_cast<std::size_t>(cell)].setHex(low, 2);
        } else {
            if (high > 0x3F) return kBadWord;
            if (target >= kProgramWords) throw ReadFailure();
            chip.ProgramMemory[static_cast<std::size_t>(target)] = high * 256 + low;
        }
    }
    return result;
}

}  // namespace vintrel
