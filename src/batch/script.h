// vintrel-batch's interpreter: drives one Form1 from a script of panel actions, without a window.
// The same handlers as under the Qt window run; what the window would show is printed.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "form1/form1.h"
#include "host/scripted_platform.h"

namespace vintrel {

class Waveform;

class BatchRunner {
  public:
    // Output lines (platform events, show, state, listing, expect failures) go to `out`,
    // script errors to `err`.
    BatchRunner(std::ostream& out, std::ostream& err);
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Runs the script to its end, to the end of the program or to the first failure, and
    // returns the exit status: 0 done, 1 an expect failed, 2 a line could not be understood.
    // May be called again with another script, which goes on from the panel's state.
    int run(std::istream& script);

    // With strict set, a message box the script does not check with the `expect message` line
    // that follows it fails the script (status 1).
    void setStrict(bool strict);

    // Records the pins and the traced values into `wave` (not owned; it must outlive the
    // runs, or be finished before they go on).
    void setWaveform(Waveform* wave);

    // Chip mode, as the option --chip gives it: the script's `mode` line may only agree.
    void setChipMode();

    // The line that ended the last run with status 1 or 2 (an expect failure, an unexpected
    // message, an error), without its line end; empty after status 0.
    const std::string& failure() const;

    // The panel the script drives, for inspection.
    Form1& form();
    ScriptedPlatform& platform();

    // Yields after which `run` without a count stops the run.
    static constexpr std::int64_t kDefaultRunLimit = 1000000;
    // Cycles after which `call` without a limit stops the routine.
    static constexpr std::int64_t kDefaultCallLimit = 1000000;
    // Runs started inside a run's yields (a click on the run button queued with `at`) may nest
    // this deep; one more is an error of its line.
    static constexpr int kMaxNestedRuns = 1000;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs one script on a fresh panel; the exit status as above.
int RunBatch(std::istream& script, std::ostream& out, std::ostream& err);

}  // namespace vintrel
