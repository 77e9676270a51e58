#include "image/hex_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <string_view>

#include "chip/control.h"

namespace vintrel {

namespace {

// What one record comes to.
enum class Record { Accepted, BadFormat, BadChecksum, BadWord, BadAddress, End };

// Word-address regions of a data record's first word.
constexpr int kEepromFirst = 0x2100, kEepromLast = 0x213F;
constexpr int kIdFirst = 0x2000, kIdLast = 0x2003;
constexpr int kConfigWord = 0x2007;
constexpr int kWatchdogEnable = 0x04;  // the configuration word's WDTE
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

namespace {

// Stores one record (its leading ':' is removed from `cad`) into `image`.
Record ReadRecord(std::string& cad, ProgramImage& image) {
    if (cad.empty() || cad[0] != ':') return Record::BadFormat;
    cad.erase(0, 1);
    const std::string_view rec = cad;

    const int count = HexField(rec, 0, 2);
    const int address = HexField(rec, 2, 4);
    const int type = HexField(rec, 6, 2);
    const int checksum =
        static_cast<int>(HexValue(rec.size() >= 2 ? rec.substr(rec.size() - 2) : rec));
    int sum = count + (address >> 8) + (address & 0xFF) + type;

    if (type == 1) return ((sum + checksum) & 0xFF) == 0 ? Record::End : Record::BadChecksum;
    if (type != 0) return Record::BadFormat;

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
        if (first >= kIdFirst && first <= kIdLast) return Record::Accepted;
        if (first == kConfigWord) {
            const bool on = (lowByte(0) & kWatchdogEnable) != 0;
            if (image.watchdog.empty() || image.watchdog.back() != on) image.watchdog.push_back(on);
            return Record::Accepted;
        }
        if (first < 0 || first > kProgramLast) return Record::BadAddress;
    }

    for (int k = 0; k < words; ++k)
        sum += lowByte(k) + highByte(k);
    const Record result = ((sum + checksum) & 0xFF) == 0 ? Record::Accepted : Record::BadChecksum;

    for (int k = 0; k < words; ++k) {
        const int low = lowByte(k);
        const int high = highByte(k);
        const int target = first + k;
        if (eeprom) {
            if (high > 0) return Record::BadWord;
            const int cell = target - kEepromFirst;
            if (cell >= kEepromCells) throw ReadFailure();
            image.eeprom[static_cast<std::size_t>(cell)] = static_cast<std::uint8_t>(low);
        } else {
            if (high > 0x3F) return Record::BadWord;
            if (target >= kProgramWords) throw ReadFailure();
            image.words[static_cast<std::size_t>(target)] =
                static_cast<std::uint16_t>(high * 256 + low);
        }
    }
    return result;
}

}  // namespace

HexRead ReadHexFile(const std::string& path) {
    HexRead r;
    try {
        LineFile file(path);
        for (;;) {
            std::string line = file.readLine();
            // A line no record can be is a malformed record.
            const Record record = file.tooLong() ? Record::BadFormat : ReadRecord(line, r.image);
            switch (record) {
                case Record::Accepted:
                    break;
                case Record::BadChecksum:
                    r.badChecksum = true;
                    break;
                case Record::End:
                    r.end = HexEnd::EndRecord;
                    return r;
                case Record::BadFormat:
                    r.end = HexEnd::BadFormat;
                    return r;
                case Record::BadWord:
                    r.end = HexEnd::BadWord;
                    return r;
                case Record::BadAddress:
                    r.end = HexEnd::BadAddress;
                    return r;
            }
            if (file.atEnd()) {
                r.end = HexEnd::NoEndRecord;
                return r;
            }
        }
    } catch (const std::exception&) {
        // Open or read failure, a record storing outside memory, or no memory for a line.
        r.end = HexEnd::Unreadable;
    }
    return r;
}

}  // namespace vintrel
