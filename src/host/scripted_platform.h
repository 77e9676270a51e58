// A platform without a window: it answers dialogs from a script and records (and optionally
// prints) what a window would have shown. Used by vintrel-batch and by the tests.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chip/platform.h"

namespace vintrel {

// The text as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

class ScriptedPlatform : public Platform {
  public:
    // Thrown by endProgram when no end hook is set, so tests can observe the end.
    struct ProgramEnded {};

    void beep() override;
    bool messageBox(std::string_view text, MessageButtons buttons, MessageAlign align) override;
    std::string openFileDialog(std::string_view filter, std::string_view defaultExt) override;
    void yield() override;
    void launch(std::string_view commandLine, WindowStyle style) override;
    std::string applicationPath() override { return appPath; }
    [[noreturn]] void endProgram() override;

    // Every event, in the form vintrel-batch prints it: `beep`, `message "…"`,
    // `launch "…" normal|minimized`, `end`.
    std::vector<std::string> events;
    // Called with each event line as it happens (vintrel-batch prints them).
    std::function<void(const std::string&)> sink;

    // Answer of the next Open dialog; none pending answers Cancel.
    std::optional<std::string> pendingChoice;
    // Answers of Yes/No boxes, in order; none left answers No.
    std::deque<bool> answers;
    // Run inside every yield.
    std::function<void()> onYield;
    // Run by endProgram before it ends (vintrel-batch exits there).
    std::function<void()> onEnd;

    std::string appPath = "/opt/vintrel";
    // What the last Open dialog was asked to show.
    std::string lastFilter, lastDefaultExt;
    // The last message box, with its buttons and alignment.
    MessageButtons lastButtons = MessageButtons::Ok;
    MessageAlign lastAlign = MessageAlign::Default;
    long yields = 0;

  private:
    void record(std::string line);
};

}  // namespace vintrel
