// The services the simulator asks of its host: everything the handlers need beyond plain
// computation goes through this one interface, so the same handlers run under the Qt window,
// under vintrel-batch and under the tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vintrel {

enum class MessageButtons { Ok, YesNo };
enum class MessageAlign { Default, Right };
enum class WindowStyle { Normal, Minimized };

class Platform {
  public:
    virtual ~Platform() = default;

    virtual void beep() = 0;
    // Shows a modal message box titled with the application's name; returns true for Yes
    // (and for OK).
    virtual bool messageBox(std::string_view text, MessageButtons buttons, MessageAlign align) = 0;
    // The common Open dialog. `filter` is "description|pattern|description|pattern…";
    // returns the chosen path, or an empty text on Cancel.
    virtual std::string openFileDialog(std::string_view filter, std::string_view defaultExt) = 0;
    // Lets the host handle pending events once. Handlers may run nested inside.
    virtual void yield() = 0;
    // How many of the yields that follow the host promises to have nothing to do, counted as
    // done now: a run loop then skips those calls, so an idle yield costs a compare. The loop
    // gives back, through returnIdleYields, any it did not use. The default asks every time.
    virtual std::int64_t idleYields() { return 0; }
    virtual void returnIdleYields(std::int64_t unused) { (void)unused; }
    // Starts a program from one command-line text without waiting for it.
    virtual void launch(std::string_view commandLine, WindowStyle style) = 0;
    // Directory of the running executable, without a trailing separator.
    virtual std::string applicationPath() = 0;
    // Ends the program at once, saving nothing; never returns.
    [[noreturn]] virtual void endProgram() = 0;
};

}  // namespace vintrel
