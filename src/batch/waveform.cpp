#include "batch/waveform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

namespace vintrel {

namespace {

constexpr int kRa = pic::kPortAPins;
constexpr int kPins = kRa + pic::kPortBPins;  // RA0..RA4, RB0..RB7
constexpr std::size_t kFlushAt = 1 << 16;

// VCD identifiers: printable characters from '!', two or more once the 94 are used.
std::string Code(std::size_t i) {
    std::string c;
    do {
        c += static_cast<char>('!' + i % 94);
        i /= 94;
    } while (i > 0);
    return c;
}

}  // namespace

std::unique_ptr<Waveform> Waveform::Open(const std::string& path, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        error = "cannot write " + path + ": it is a folder";
        return nullptr;
    }
    // Absolute: a script runs in its own folder.
    const std::string target = fs::absolute(path, ec).string();
    if (ec) {
        error = "cannot write " + path + ": " + ec.message();
        return nullptr;
    }
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // mkostemp makes the file private; the waveform gets the permissions of any new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp.c_str());
        return nullptr;
    }
    return std::unique_ptr<Waveform>(new Waveform(target, std::move(temp), file));
}

Waveform::Waveform(std::string path, std::string temp, std::FILE* file)
    : path_(std::move(path)), temp_(std::move(temp)), file_(file) {}

Waveform::~Waveform() {
    if (chip_) chip_->SetObserver(nullptr, false);
    if (!file_) return;
    std::fclose(file_);
    ::unlink(temp_.c_str());
}

void Waveform::Start(Chip& chip, const std::vector<Signal>& traced) {
    chip_ = &chip;
    probes_.clear();
    buffer_ = "$version vintrel-batch $end\n$timescale 1ns $end\n$scope module PIC16F84 $end\n";
    auto declare = [this](const Control* control, int key, bool pin, const std::string& name) {
        probes_.push_back({control, key, pin, 0, Code(probes_.size())});
        buffer_ +=
            (pin ? "$var wire 1 " : "$var reg 8 ") + probes_.back().code + ' ' + name + " $end\n";
    };
    for (int i = 0; i < kPins; ++i)
        declare(i < kRa ? &chip.PA[static_cast<std::size_t>(i)]
                        : &chip.PB[static_cast<std::size_t>(i - kRa)],
                0, true, (i < kRa ? "RA" : "RB") + std::to_string(i < kRa ? i : i - kRa));
    for (const Signal& s : traced) {
        // PCL and STATUS may wait inside a burst: the chip knows their values now.
        const Control* control = s.key == kW                                 ? &chip.REGW
                                 : s.key == pic::PCL || s.key == pic::STATUS ? nullptr
                                                                             : &chip.REG(s.key);
        declare(control, s.key, false, s.name);
    }
    buffer_ += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (Probe& p : probes_)
        Put(p, Value(p));
    buffer_ += "$end\n";
    lastNs_ = 0;
    start_ = lastCycles_ = chip.CycleCount;
    banked_ = 0;
    baseCycles_ = baseNs_ = 0;
    // The pins are told by their port's effects; W and registers need every instruction.
    chip.SetObserver(this, !traced.empty());
}

void Waveform::SetFrequency(std::int64_t kHz) {
    if (chip_) {
        const std::int64_t now = Cycles();
        baseNs_ = Nanoseconds(now);
        baseCycles_ = now;
    }
    kHz_ = kHz;
}

// Cycles since the start: the chip's count plus what resets took from it, never backwards.
std::int64_t Waveform::Cycles() {
    lastCycles_ = std::max(lastCycles_, banked_ + chip_->CycleCount);
    return lastCycles_ - start_;
}

// Four clock periods a cycle, rounded to the nanosecond; split so that nothing overflows.
std::int64_t Waveform::Nanoseconds(std::int64_t cycles) const {
    constexpr std::int64_t kNsPerCycleAtOneKHz = 4000000;
    const std::int64_t d = cycles - baseCycles_;
    return baseNs_ + d / kHz_ * kNsPerCycleAtOneKHz +
           (d % kHz_ * kNsPerCycleAtOneKHz + kHz_ / 2) / kHz_;
}

void Waveform::Put(Probe& p, int value) {
    p.last = value;
    if (p.pin) {
        buffer_ += value != 0 ? '1' : '0';
    } else {
        buffer_ += 'b';
        for (int bit = 7; bit >= 0; --bit)
            buffer_ += (value >> bit & 1) != 0 ? '1' : '0';
        buffer_ += ' ';
    }
    buffer_ += p.code;
    buffer_ += '\n';
}

void Waveform::Compare(std::size_t from) {
    bool stamped = false;
    for (std::size_t i = from; i < probes_.size(); ++i) {
        Probe& p = probes_[i];
        const int v = Value(p);
        if (v == p.last) continue;
        if (!stamped) {
            stamped = true;
            const std::int64_t ns = Nanoseconds(Cycles());
            if (ns != lastNs_) {
                buffer_ += '#' + std::to_string(ns) + '\n';
                lastNs_ = ns;
            }
        }
        Put(p, v);
    }
    if (buffer_.size() >= kFlushAt) Flush();
}

void Waveform::Observe() {
    Compare(0);
}

// The pins have their own report.
void Waveform::Stepped() {
    Compare(kPins);
}

void Waveform::CountersRestarting() {
    Observe();
    // From here the chip counts from 0 again.
    Cycles();
    banked_ = lastCycles_;
}

void Waveform::Flush() {
    if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        failed_ = true;
    buffer_.clear();
}

bool Waveform::Finish(bool keep) {
    if (chip_) chip_->SetObserver(nullptr, false);
    chip_ = nullptr;
    if (!file_) return !failed_;
    Flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    if (keep && !failed_ && std::rename(temp_.c_str(), path_.c_str()) != 0) failed_ = true;
    if (!keep || failed_) {
        ::unlink(temp_.c_str());
        ::unlink(path_.c_str());
    }
    return !failed_;
}

}  // namespace vintrel
