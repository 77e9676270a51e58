// vintrel-batch's waveform (--vcd): a Value Change Dump of the pins, plus W and the registers a
// script traces, written while the program runs. Time is the instruction cycles executed since
// the waveform started, at four clock periods each of the frequency in kHz.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "chip/chip.h"

namespace vintrel {

class Waveform final : public ChipObserver {
  public:
    // A traced value: W (key kW) or a data cell, shown under `name`.
    static constexpr int kW = -1;
    struct Signal {
        std::string name;
        int key;
    };

    // Opens a temporary file beside `path`, which gets its name only from Finish; nothing on
    // failure, with the reason in `error`.
    static std::unique_ptr<Waveform> Open(const std::string& path, std::string& error);
    ~Waveform();
    Waveform(const Waveform&) = delete;
    Waveform& operator=(const Waveform&) = delete;

    // Writes the header and the values at time 0, then follows the chip; W and registers make
    // the chip report every instruction.
    void Start(Chip& chip, const std::vector<Signal>& traced);
    bool started() const { return chip_ != nullptr; }
    // The clock from the present cycle on.
    void SetFrequency(std::int64_t kHz);
    static constexpr std::int64_t kMaxKHz = 4000000;  // one cycle a nanosecond

    void Observe() override;
    void Stepped() override;
    void CountersRestarting() override;

    // Closes the file. Kept: it takes its path. Not kept, or a write failed: the temporary
    // file goes, and an older file at the path too, so that no stale waveform passes for this
    // one. False when a write failed.
    bool Finish(bool keep);

  private:
    Waveform(std::string path, std::string temp, std::FILE* file);
    std::int64_t Cycles();
    std::int64_t Nanoseconds(std::int64_t cycles) const;
    // One value in the dump. A cell STATUS's or PCL's display may lag behind has no control:
    // it is read through the chip.
    struct Probe {
        const Control* control;
        int key;
        bool pin;
        int last = 0;
        std::string code;
    };
    int Value(const Probe& p) const {
        if (p.pin) return p.control->value();
        return p.control ? static_cast<int>(p.control->hexValue()) : chip_->RegisterNow(p.key);
    }
    void Compare(std::size_t from);
    void Put(Probe& p, int value);
    void Flush();

    std::string path_, temp_;
    std::FILE* file_;
    std::string buffer_;
    bool failed_ = false;
    Chip* chip_ = nullptr;
    std::vector<Probe> probes_;  // the 13 pins first, then the traced values
    // Cycles: banked at resets, and at the start; the clock's base and frequency.
    std::int64_t banked_ = 0, start_ = 0, lastCycles_ = 0;
    std::int64_t baseCycles_ = 0, baseNs_ = 0, kHz_ = 4000;
    std::int64_t lastNs_ = -1;
};

}  // namespace vintrel
