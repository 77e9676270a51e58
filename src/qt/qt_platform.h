// The host services of the desktop program, on Qt Widgets.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include <QString>
#include <QStringList>

#include "chip/platform.h"

namespace vintrel {

// The Open dialog's filter list "description|pattern|description|pattern…" as Qt name
// filters "description (patterns)". Patterns separated by ";" become Qt's blank-separated list,
// and "*.*" means every file, as it does on the system the lists were written for.
QStringList QtNameFilters(std::string_view filter);

// A message text for Qt: the loader's messages break lines with a carriage return.
QString QtMessageText(std::string_view text);

class QtPlatform : public Platform {
  public:
    void beep() override;
    // Told after every beep: the window blinks the refused box, as desktop bells are mostly muted.
    void setBeepObserver(std::function<void()> observer) { beepObserver_ = std::move(observer); }
    bool messageBox(std::string_view text, MessageButtons buttons, MessageAlign align) override;
    std::string openFileDialog(std::string_view filter, std::string_view defaultExt) override;
    // Handles pending events, but at most once a millisecond: a continuous run yields after
    // every instruction, and pumping the event loop millions of times a second would cost more
    // than the instructions. Events still run between two instructions, in order.
    void yield() override;
    void launch(std::string_view commandLine, WindowStyle style) override;
    std::string applicationPath() override;
    [[noreturn]] void endProgram() override;

    // Minimum time between two pumps of the event loop in yield().
    static constexpr std::chrono::microseconds kYieldInterval{1000};
    // Yields between two looks at the clock: the run loop takes them as one burst of steps
    // (a few microseconds), far inside kYieldInterval. The length varies around
    // kYieldsPerClockRead: with a fixed one a stop would land every time at the same point of
    // a loop whose length divides it, and show the same values run after run.
    static constexpr int kYieldsPerClockRead = 1024;
    std::int64_t idleYields() override {
        stretch_ ^= stretch_ << 13;
        stretch_ ^= stretch_ >> 7;
        stretch_ ^= stretch_ << 17;
        return kYieldsPerClockRead / 2 + static_cast<std::int64_t>(stretch_ % kYieldsPerClockRead);
    }

  private:
    std::function<void()> beepObserver_;
    std::chrono::steady_clock::time_point lastPump_{};
    std::uint64_t stretch_ = 0x9E3779B97F4A7C15u;  // xorshift state
    // The folder of the file chosen last in this run; the next Open dialog starts there.
    QString lastFolder_;
};

}  // namespace vintrel
