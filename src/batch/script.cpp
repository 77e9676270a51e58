#include "batch/script.h"

#include "form1/controls.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <ios>
#include <istream>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "batch/names.h"
#include "batch/waveform.h"

namespace vintrel {

namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

using Kind = ControlKind;
using ControlInfo = ControlEntry;

const ControlInfo* const kEje1 = FindControl("eje1");
const ControlInfo* const kEjecutar = FindControl("ejecutar");
const ControlInfo* const kCargar = FindControl("cargar");

// A line the interpreter cannot understand.
struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A name neither the chip nor the program's listing knows.
struct UnknownName : ScriptError {
    using ScriptError::ScriptError;
};

// The longest script line read: a longer one is an error of its line, so that a script without
// line ends (a huge file, /dev/zero on standard input) cannot fill memory.
constexpr std::size_t kMaxScriptLine = std::size_t{1} << 20;

// Ends the script from anywhere, also from inside a run's yield.
struct Finished {
    int status;
};

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The part of a text that a message quotes: its first 80 characters at most, so that a huge
// word cannot flood standard error.
std::string_view QuotedPart(std::string_view w) {
    constexpr std::size_t kMax = 80;
    if (w.size() <= kMax) return w;
    std::size_t n = kMax;
    while (n > 0 && (static_cast<unsigned char>(w[n]) & 0xC0) == 0x80)
        --n;  // whole UTF-8 characters only
    return w.substr(0, n);
}

// A word of the script as an error quotes it: as a JSON string, "..." after a cut one.
std::string QuoteWord(std::string_view w) {
    const std::string_view part = QuotedPart(w);
    return JsonString(part) + (part.size() < w.size() ? "..." : "");
}

// Text already written as a JSON string's inside (an expected message), quoted the same way.
std::string QuotePrinted(std::string_view w) {
    const std::string_view part = QuotedPart(w);
    return '"' + std::string(part) + '"' + (part.size() < w.size() ? "..." : "");
}

enum class LineRead { Line, End, TooLong };

// One line up to its LF, which is dropped, and of at most kMaxScriptLine bytes. A read error
// sets badbit and ends the input, as std::getline would.
LineRead ReadScriptLine(std::istream& in, std::string& line) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr || !in.good()) return LineRead::End;
    try {
        for (;;) {
            const auto c = buf->sbumpc();
            if (std::char_traits<char>::eq_int_type(c, std::char_traits<char>::eof())) {
                in.setstate(std::ios::eofbit);
                return line.empty() ? LineRead::End : LineRead::Line;
            }
            if (c == '\n') return LineRead::Line;
            if (line.size() == kMaxScriptLine) return LineRead::TooLong;
            line.push_back(std::char_traits<char>::to_char_type(c));
        }
    } catch (const std::ios_base::failure&) {
        in.setstate(std::ios::badbit);
        return LineRead::End;
    }
}

// Walks one script line word by word.
class Cursor {
  public:
    explicit Cursor(std::string_view s) : s_(s) {}

    bool atEnd() {
        skipBlanks();
        return pos_ == s_.size();
    }
    char peek() {
        skipBlanks();
        return pos_ < s_.size() ? s_[pos_] : '\0';
    }
    std::string_view word() {
        skipBlanks();
        const std::size_t start = pos_;
        while (pos_ < s_.size() && !IsBlank(s_[pos_]))
            ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // Everything after the separating blanks, trailing blanks included.
    std::string_view rest() {
        skipBlanks();
        std::string_view r = s_.substr(pos_);
        pos_ = s_.size();
        return r;
    }

  private:
    void skipBlanks() {
        while (pos_ < s_.size() && IsBlank(s_[pos_]))
            ++pos_;
    }
    std::string_view s_;
    std::size_t pos_ = 0;
};

// A non-negative number, decimal or hexadecimal with a 0x prefix.
std::int64_t Number(std::string_view w) {
    std::string_view digits = w;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    // from_chars would take a sign; the script language has none.
    const bool leadingDigit =
        !digits.empty() && (base == 16 ? std::isxdigit(static_cast<unsigned char>(digits[0]))
                                       : std::isdigit(static_cast<unsigned char>(digits[0])));
    std::int64_t v = 0;
    const char* end = digits.data() + digits.size();
    const auto r = leadingDigit
                       ? std::from_chars(digits.data(), end, v, base)
                       : std::from_chars_result{digits.data(), std::errc::invalid_argument};
    if (r.ec == std::errc::result_out_of_range && r.ptr == end)
        throw ScriptError(QuoteWord(w) + " is out of range");
    if (r.ec != std::errc() || r.ptr != end) throw ScriptError(QuoteWord(w) + " is not a number");
    return v;
}

// One parsed script line.
struct Command {
    enum class Op {
        Choose,
        Load,
        Click,
        Select,
        Type,
        Step,
        Run,
        At,
        Show,
        State,
        Listing,
        Expect,
        ExpectMessage,
        ExpectRun,
        ShowRun,
        Call,
        Trace,
        Mode
    };
    Op op = Op::State;
    long line = 0;
    const ControlInfo* control = nullptr;
    int index = -1;  // element of a control array or listing row; -1 for none
    std::string text;
    std::string indexName;           // the INDEX as written, when the script named it
    std::int64_t a = 0, b = 0;       // count, yield number, listing range or run end
    std::unique_ptr<Command> inner;  // the command of an `at` line
    std::vector<Waveform::Signal> traced;
};

std::string NameOf(const ControlInfo& c, int index) {
    std::string s(c.name);
    if (index >= 0) {
        s += '[';
        s += std::to_string(index);
        s += ']';
    }
    return s;
}

void ExpectEnd(Cursor& c) {
    if (!c.atEnd()) throw ScriptError("extra words from " + QuoteWord(c.word()));
}

// An INDEX or ROW: a number, a register's data-sheet name (for REG) or a program's symbol.
std::int64_t IndexValue(std::string_view w, const ControlInfo& c, const Symbols& symbols) {
    const auto first = static_cast<unsigned char>(w.front());
    if (!std::isalpha(first) && first != '_') return Number(w);
    switch (c.indexNames) {
        case IndexNames::Register:
            if (const auto a = ChipRegister(w)) return *a;
            break;
        case IndexNames::PortA:
        case IndexNames::PortB:
            if (const auto bit = PinBit(w, c.indexNames == IndexNames::PortA ? 'A' : 'B'))
                return *bit;
            break;
        case IndexNames::None:
            break;
    }
    if (const auto it = symbols.find(w); it != symbols.end()) return it->second;
    throw UnknownName("unknown name " + QuoteWord(w));
}

// NAME [INDEX]; `rowOptional` lets `prg` stand without a row.
void ParseTarget(Cursor& c, Command& cmd, bool rowOptional, const Symbols& symbols) {
    const std::string_view name = c.word();
    if (name.empty()) throw ScriptError("a control name is missing");
    const ControlInfo* info = FindControl(name);
    if (!info) throw ScriptError("unknown control " + QuoteWord(name));
    cmd.control = info;
    if (info->size == 0) return;
    const std::string_view w = c.word();
    if (w.empty()) {
        if (rowOptional && info->kind == Kind::List) return;
        throw ScriptError(std::string(name) + " needs an index");
    }
    const std::int64_t i = IndexValue(w, *info, symbols);
    if (i < 0 || i > 0xFFFF || !ValidIndex(*info, static_cast<int>(i)))
        throw ScriptError("index " + QuoteWord(w) + " is outside " + std::string(name));
    cmd.index = static_cast<int>(i);
    if (!std::isdigit(static_cast<unsigned char>(w.front()))) cmd.indexName = w;
}

std::int64_t OptionalCount(Cursor& c, std::int64_t fallback, std::int64_t least,
                           std::string_view what) {
    const std::string_view w = c.word();
    if (w.empty()) return fallback;
    const std::int64_t n = Number(w);
    if (n < least)
        throw ScriptError(std::string(what) + " must be at least " + std::to_string(least));
    return n;
}

std::int64_t ListingRow(Cursor& c, std::int64_t fallback, const Symbols& symbols) {
    const std::string_view w = c.word();
    if (w.empty()) return fallback;
    const std::int64_t n = IndexValue(w, *FindControl("prg"), symbols);
    if (n >= kProgramWords) throw ScriptError("row " + QuoteWord(w) + " is outside prg");
    return n;
}

// The ways a run ends, as `expect run` and `show run` name them; kNoRun before any run.
constexpr std::string_view kRunEnds[] = {"none", "breakpoint", "limit", "stop", "end", "return"};
enum RunEnd : int { kNoRun, kBreakpoint, kLimit, kStop, kEnd, kReturn };

constexpr std::string_view kTraceTooLate = "trace must come before the first step, run or call";

// A line that is no command (blank, a comment) or checks the messages shown (`expect message`).
bool ChecksMessages(std::string_view line) {
    Cursor c(line);
    if (c.atEnd() || c.peek() == '#') return true;
    return c.word() == "expect" && c.word() == "message";
}

// Parses one line; nothing for a blank or comment line. Names resolve with `symbols`, the
// program's as they stand when the line is read. Errors throw ScriptError.
std::optional<Command> ParseLine(std::string_view line, long lineNo, bool inAt,
                                 const Symbols& symbols) {
    Cursor c(line);
    if (c.atEnd() || c.peek() == '#') return std::nullopt;
    Command cmd;
    cmd.line = lineNo;
    const std::string_view verb = c.word();
    using Verb = Command::Op;
    if (verb == "choose" || verb == "load") {
        cmd.op = verb == "choose" ? Verb::Choose : Verb::Load;
        cmd.text = c.rest();
    } else if (verb == "click") {
        ParseTarget(c, cmd, false, symbols);
        cmd.op = cmd.control->kind == Kind::List ? Verb::Select : Verb::Click;
        ExpectEnd(c);
    } else if (verb == "select") {
        ParseTarget(c, cmd, false, symbols);
        if (cmd.control->kind != Kind::List) throw ScriptError("select works only on prg");
        cmd.op = Verb::Select;
        ExpectEnd(c);
    } else if (verb == "type") {
        const std::string_view name = c.word();
        if (name.empty()) throw ScriptError("a control name is missing");
        cmd.control = FindControl(name);
        if (!cmd.control) throw ScriptError("unknown control " + QuoteWord(name));
        if (cmd.control->kind != Kind::TextBox)
            throw ScriptError(std::string(name) + " is not a text box");
        cmd.op = Verb::Type;
        cmd.text = c.rest();
    } else if (verb == "step") {
        cmd.op = Verb::Step;
        cmd.a = OptionalCount(c, 1, 0, "the step count");
        ExpectEnd(c);
    } else if (verb == "run") {
        cmd.op = Verb::Run;
        cmd.a = OptionalCount(c, BatchRunner::kDefaultRunLimit, 1, "the run's yield count");
        ExpectEnd(c);
    } else if (verb == "call") {
        if (inAt) throw ScriptError("call cannot start inside a run");
        const std::string_view w = c.word();
        if (w.empty()) throw ScriptError("call needs a label");
        const std::int64_t a = IndexValue(w, *FindControl("prg"), symbols);
        if (a >= kProgramWords) throw ScriptError("address " + QuoteWord(w) + " is outside prg");
        cmd.op = Verb::Call;
        cmd.index = static_cast<int>(a);
        cmd.b = OptionalCount(c, BatchRunner::kDefaultCallLimit, 1, "the cycle limit");
        ExpectEnd(c);
    } else if (verb == "trace") {
        if (inAt) throw ScriptError(std::string(kTraceTooLate));
        cmd.op = Verb::Trace;
        for (std::string_view w = c.word(); !w.empty(); w = c.word()) {
            // W before the program's names: p16f84.inc defines W as 0, a destination bit.
            if (w == "W") {
                cmd.traced.push_back({"W", Waveform::kW});
                continue;
            }
            const std::int64_t key = IndexValue(w, *FindControl("REG"), symbols);
            if (key < 0 || key > 0xFF || !Chip::IsRegKey(static_cast<int>(key)))
                throw ScriptError("index " + QuoteWord(w) + " is outside REG");
            if (key == pic::INDF || key == pic::kUnimplemented)
                throw ScriptError(QuoteWord(w) + " has no value to trace");
            cmd.traced.push_back({std::string(w), static_cast<int>(key)});
        }
        if (cmd.traced.empty()) throw ScriptError("trace needs a name");
    } else if (verb == "at") {
        if (inAt) throw ScriptError("at cannot queue another at");
        const std::string_view w = c.word();
        if (w.empty()) throw ScriptError("at needs a yield number");
        cmd.op = Verb::At;
        cmd.a = Number(w);
        if (cmd.a < 1) throw ScriptError("the yield number must be at least 1");
        auto inner = ParseLine(c.rest(), lineNo, true, symbols);
        if (!inner) throw ScriptError("at needs a command");
        cmd.inner = std::make_unique<Command>(std::move(*inner));
    } else if (verb == "show") {
        Cursor next = c;
        if (next.word() == "run") {
            c = next;
            cmd.op = Verb::ShowRun;
        } else {
            cmd.op = Verb::Show;
            ParseTarget(c, cmd, true, symbols);
        }
        ExpectEnd(c);
    } else if (verb == "mode") {
        if (inAt) throw ScriptError("at cannot queue mode");
        const std::string_view m = c.word();
        if (m != "chip" && m != "panel")
            throw ScriptError("mode takes chip or panel, not " + QuoteWord(m));
        cmd.op = Verb::Mode;
        cmd.a = m == "chip";
        ExpectEnd(c);
    } else if (verb == "state") {
        cmd.op = Verb::State;
        ExpectEnd(c);
    } else if (verb == "listing") {
        cmd.op = Verb::Listing;
        cmd.a = ListingRow(c, 0, symbols);
        cmd.b = ListingRow(c, kProgramWords - 1, symbols);
        ExpectEnd(c);
    } else if (verb == "expect") {
        Cursor next = c;
        const std::string_view what = next.word();
        if (what == "message") {
            c = next;
            cmd.op = Verb::ExpectMessage;
            cmd.text = c.rest();
        } else if (what == "run") {
            c = next;
            cmd.op = Verb::ExpectRun;
            const std::string_view end = c.word();
            const auto* found = std::find(std::begin(kRunEnds) + 1, std::end(kRunEnds), end);
            if (found == std::end(kRunEnds))
                throw ScriptError("expect run takes breakpoint, limit, stop, end or return, not " +
                                  QuoteWord(end));
            cmd.a = found - std::begin(kRunEnds);
            ExpectEnd(c);
        } else {
            cmd.op = Verb::Expect;
            ParseTarget(c, cmd, false, symbols);
            cmd.text = c.rest();
        }
    } else {
        throw ScriptError("unknown command " + QuoteWord(verb));
    }
    return cmd;
}

const char* Bool(bool b) {
    return b ? "true" : "false";
}

}  // namespace

// ---------------------------------------------------------------------------------------------

class BatchRunner::Impl {
  public:
    Impl(std::ostream& out, std::ostream& err);

    int run(std::istream& script);

    // The windowless platform; its yield is the run's hot path.
    class Host final : public ScriptedPlatform {
      public:
        explicit Host(Impl& impl) : impl_(impl) {}
        bool messageBox(std::string_view text, MessageButtons buttons,
                        MessageAlign align) override {
            impl_.messageShown(text);
            return ScriptedPlatform::messageBox(text, buttons, align);
        }
        void yield() override {
            ++yields;
            // A plain compare unless a queued command or the run's limit is due.
            if (++count < threshold) return;
            impl_.yieldReached(count);
        }
        // Every yield before the threshold does nothing but count.
        std::int64_t idleYields() override {
            const std::int64_t n = threshold == kNever ? kNever / 2 : threshold - count - 1;
            if (n <= 0) return 0;
            count += n;
            yields += n;
            return n;
        }
        void returnIdleYields(std::int64_t unused) override {
            count -= unused;
            yields -= unused;
        }
        std::int64_t count = 0;  // yields of the current top-level run
        std::int64_t threshold = kNever;

      private:
        Impl& impl_;
    };

    std::ostream& out;
    std::ostream& err;
    Host host;
    Form1 form;
    bool strict = false;
    bool chipOption = false;  // --chip
    std::string failure;      // the line that ended the script with status 1 or 2
    Waveform* wave = nullptr;
    void setChipMode();

  private:
    void runLines(std::istream& script, long& lineNo);
    void execute(Command& cmd);
    [[noreturn]] void fail(int status, std::string line);
    void messageShown(std::string_view text);
    void checkAnnounced();
    void expectMessage(const Command& cmd);
    void expectRun(const Command& cmd);
    void load();
    void pressRunInYield(long line);
    void clickControl(const ControlInfo& info, int index);
    void typeText(const Command& cmd);
    void runProgram(std::int64_t limit);
    void call(const Command& cmd);
    void trace(const Command& cmd);
    void startWaveform(long line);
    std::int64_t frequency(long line);
    int stackDepth() const;
    void show(const Command& cmd);
    void state();
    void expect(const Command& cmd);
    void yieldReached(std::int64_t y);
    void updateThreshold();
    int outOfMemory(long lineNo);
    // A listing row as it stands (empty while the list is being rebuilt).
    std::string listingRow(int row) const {
        return row < form.prg.count() ? form.prg.row(row) : std::string();
    }
    void ignored(const ControlInfo& info, int index) {
        out << "ignored " << NameOf(info, index) << '\n';
    }

    // Commands of `at` lines, keyed by yield number; equal keys keep their script order.
    std::multimap<std::int64_t, Command> queued_;
    bool inRun_ = false;
    int yieldDepth_ = 0;
    std::int64_t runLimit_ = kDefaultRunLimit;

    long line_ = 0;  // the line being performed (an `at` line for its queued command)
    // Message boxes since the last `expect message`: the last one's text, and the first one
    // for the strict check.
    std::optional<std::string> lastMessage_;
    std::optional<std::pair<long, std::string>> unannounced_;
    long messages_ = 0;
    // How the current (or last) run ended, and its yields.
    RunEnd runEnd_ = kNoRun;
    std::int64_t runYields_ = 0;
    int nestedRuns_ = 0;
    // The last run was a `call`, and the cycles the routine used.
    bool lastCall_ = false;
    std::int64_t callCycles_ = 0;
    // The waveform starts with the first command that may execute an instruction.
    bool waveStarted_ = false;
    std::vector<Waveform::Signal> traced_;
    // Names of the program loaded last, from the listing beside its HEX file, and why that
    // listing was refused (a FIFO, a device, too large), if it was.
    Symbols symbols_;
    // Why the program loaded last brought no names: the load failed, or its listing was
    // missing or refused; empty when it brought them.
    std::string namesMissing_;
    long commands_ = 0;  // commands read so far (the mode line must be the first)
};

void BatchRunner::Impl::setChipMode() {
    if (form.chip.ChipMode()) return;
    form.chip.SetChipMode(true);
    form.listaprog();  // the erased words
}

BatchRunner::Impl::Impl(std::ostream& o, std::ostream& e)
    : out(o), err(e), host(*this), form(host) {
    host.sink = [this](const std::string& line) { out << line << '\n'; };
    host.onEnd = [this] {
        if (inRun_) runEnd_ = kEnd;
        throw Finished{0};
    };
}

int BatchRunner::Impl::run(std::istream& script) {
    long lineNo = 0;
    int status = 0;
    failure.clear();
    commands_ = 0;
    try {
        runLines(script, lineNo);
    } catch (const Finished& f) {
        status = f.status;
    } catch (const ScriptedPlatform::ProgramEnded&) {
        status = 0;  // the end hook was replaced; the program ended all the same
    } catch (const std::bad_alloc&) {
        status = outOfMemory(lineNo);
    } catch (const std::length_error&) {
        status = outOfMemory(lineNo);
    }
    // A script that executed nothing still leaves a waveform: its values at time 0.
    if (wave && !wave->started() && status != 2) wave->Start(form.chip, traced_);
    if (status == 2 && !failure.empty() && failure.rfind("error at line ", 0) == 0) {
        out.flush();
        err << failure << '\n';
    }
    out.flush();
    err.flush();
    return status;
}

// What filled memory is dropped before the message is built: that text needs memory too.
int BatchRunner::Impl::outOfMemory(long lineNo) {
    queued_.clear();
    host.events.clear();
    host.events.shrink_to_fit();
    failure = "error at line " + std::to_string(lineNo) + ": out of memory";
    return 2;
}

void BatchRunner::Impl::runLines(std::istream& script, long& lineNo) {
    std::string line;
    for (LineRead read; (read = ReadScriptLine(script, line)) != LineRead::End;) {
        ++lineNo;
        if (read == LineRead::TooLong) {
            failure = "error at line " + std::to_string(lineNo) + ": the line is longer than " +
                      std::to_string(kMaxScriptLine) + " bytes";
            throw Finished{2};
        }
        // An editor's UTF-8 byte-order mark is no part of the first command.
        if (lineNo == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // An unchecked message fails before the next command is even read: a failed load is
        // the cause of whatever that command would find missing.
        if (strict && unannounced_ && !ChecksMessages(line)) checkAnnounced();
        std::optional<Command> cmd;
        try {
            cmd = ParseLine(line, lineNo, false, symbols_);
        } catch (const ScriptError& e) {
            failure = "error at line " + std::to_string(lineNo) + ": " + e.what();
            if (dynamic_cast<const UnknownName*>(&e) && !namesMissing_.empty())
                failure += ": " + namesMissing_;
            throw Finished{2};
        }
        if (cmd && cmd->op == Command::Op::Mode) {
            // The mode is the script's first command, and agrees with --chip.
            const char* why = commands_ > 0 ? "mode must come before every other command"
                              : cmd->a == 0 && chipOption ? "mode panel conflicts with --chip"
                                                          : nullptr;
            if (why) {
                failure = "error at line " + std::to_string(lineNo) + ": " + why;
                throw Finished{2};
            }
            if (cmd->a == 1) setChipMode();
        } else if (cmd) {
            execute(*cmd);
        }
        if (cmd) ++commands_;
        host.events.clear();  // already printed; keeps a long script from accumulating
    }
    // A read error (a folder, a failing disk, a line too long for memory) is not an end.
    if (script.bad()) {
        failure = "error at line " + std::to_string(lineNo + 1) + ": the script cannot be read";
        throw Finished{2};
    }
    checkAnnounced();
}

void BatchRunner::Impl::fail(int status, std::string line) {
    if (status == 1) out << line << '\n';
    failure = std::move(line);
    throw Finished{status};
}

void BatchRunner::Impl::messageShown(std::string_view text) {
    ++messages_;
    lastMessage_.emplace(text);
    if (!unannounced_) unannounced_.emplace(line_, std::string(text));
}

void BatchRunner::Impl::checkAnnounced() {
    if (strict && unannounced_)
        fail(1, "unexpected message at line " + std::to_string(unannounced_->first) + ": " +
                    JsonString(unannounced_->second));
}
void BatchRunner::Impl::execute(Command& cmd) {
    using Verb = Command::Op;
    // A message the script did not check is a failure of its line before anything else runs.
    if (cmd.op != Verb::ExpectMessage) checkAnnounced();
    line_ = cmd.line;
    if (!waveStarted_ &&
        (cmd.op == Verb::Step || cmd.op == Verb::Run || cmd.op == Verb::Call ||
         (cmd.op == Verb::Click && (cmd.control == kEje1 || cmd.control == kEjecutar))))
        startWaveform(cmd.line);
    switch (cmd.op) {
        case Verb::Choose:
            host.pendingChoice = cmd.text;
            break;
        case Verb::Load:
            host.pendingChoice = cmd.text;
            load();
            break;
        case Verb::Click:
            // At the top of the script a click on the run button is a whole run; inside a yield
            // it is the button's handler (the stop, or a nested run).
            if (cmd.control->name == "ejecutar" && yieldDepth_ == 0) {
                runProgram(kDefaultRunLimit);
            } else if (cmd.control == kEjecutar) {
                pressRunInYield(cmd.line);
            } else if (cmd.control == kCargar) {
                load();
            } else {
                clickControl(*cmd.control, cmd.index);
            }
            break;
        case Verb::Select:
            form.prg.select(cmd.index);
            break;
        case Verb::Type:
            typeText(cmd);
            break;
        case Verb::Step:
            for (std::int64_t i = 0; i < cmd.a; ++i)
                clickControl(*kEje1, -1);
            break;
        case Verb::Run:
            if (yieldDepth_ == 0) {
                runProgram(cmd.a);
            } else {
                pressRunInYield(cmd.line);
            }
            break;
        case Verb::At:
            queued_.emplace(cmd.a, std::move(*cmd.inner));
            break;
        case Verb::Show:
            show(cmd);
            break;
        case Verb::State:
            state();
            break;
        case Verb::Listing:
            for (int r = static_cast<int>(cmd.a); r <= cmd.b && r < form.prg.count(); ++r)
                out << form.prg.row(r) << '\n';
            break;
        case Verb::Expect:
            expect(cmd);
            break;
        case Verb::ExpectMessage:
            expectMessage(cmd);
            break;
        case Verb::ExpectRun:
            expectRun(cmd);
            break;
        case Verb::Mode:  // handled as its line is read
            break;
        case Verb::ShowRun:
            if (lastCall_) {
                out << R"({"name":"call","ended":")" << kRunEnds[runEnd_] << R"(","cycles":)"
                    << callCycles_ << "}\n";
            } else {
                out << R"({"name":"run","ended":")" << kRunEnds[runEnd_] << R"(","yields":)"
                    << runYields_ << "}\n";
            }
            break;
        case Verb::Call:
            call(cmd);
            break;
        case Verb::Trace:
            trace(cmd);
            break;
    }
    // What the command itself changed (a pin clicked, a register edited, a reset).
    if (waveStarted_ && wave) wave->Observe();
}

void BatchRunner::Impl::load() {
    const std::optional<std::string> chosen = host.pendingChoice;
    const long before = messages_;
    clickControl(*kCargar, -1);
    const bool failed = messages_ != before;  // every failed load shows a message box
    if (host.pendingChoice || !chosen || chosen->empty()) return;  // not clicked, or cancelled
    // A new program brings its own names; a failed load leaves none.
    symbols_.clear();
    namesMissing_.clear();
    if (failed) {
        namesMissing_ = "the load at line " + std::to_string(line_) +
                        " failed: " + JsonString(lastMessage_.value_or(""));
        return;
    }
    if (auto s = LoadListingSymbols(*chosen, &namesMissing_))
        symbols_ = std::move(*s);
    else if (namesMissing_.empty())
        namesMissing_ = "there is no listing " + ListingPathFor(*chosen);
}

void BatchRunner::Impl::pressRunInYield(long line) {
    if (!form.ejecutar.enabled() || !form.ejecutar.visible()) {
        ignored(*kEjecutar, -1);
        return;
    }
    if (form.running()) {
        runEnd_ = kStop;
        form.ejecutar_Click();
        return;
    }
    // A nested run: its own way of ending replaces the one recorded so far.
    if (nestedRuns_ >= kMaxNestedRuns) {
        out.flush();
        fail(2, "error at line " + std::to_string(line) + ": runs nested deeper than " +
                    std::to_string(kMaxNestedRuns));
    }
    runEnd_ = kNoRun;
    ++nestedRuns_;
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{nestedRuns_};
    form.ejecutar_Click();
}

void BatchRunner::Impl::expectMessage(const Command& cmd) {
    std::optional<std::string> shown = std::move(lastMessage_);
    lastMessage_.reset();
    unannounced_.reset();
    if (!shown)
        fail(1, "expect failed at line " + std::to_string(cmd.line) + ": no message, not " +
                    QuotePrinted(cmd.text));
    // Compared as printed on the `message` line: a carriage return is written \r.
    const std::string printed = JsonString(*shown);
    if (std::string_view(printed).substr(1, printed.size() - 2) == cmd.text) return;
    fail(1, "expect failed at line " + std::to_string(cmd.line) + ": message is " + printed +
                ", not " + QuotePrinted(cmd.text));
}

void BatchRunner::Impl::expectRun(const Command& cmd) {
    if (runEnd_ == cmd.a) return;
    fail(1, "expect failed at line " + std::to_string(cmd.line) + ": run ended \"" +
                std::string(kRunEnds[runEnd_]) + "\", not \"" + std::string(kRunEnds[cmd.a]) + '"');
}

void BatchRunner::Impl::clickControl(const ControlInfo& info, int index) {
    if (!Clickable(form, info, index)) {
        ignored(info, index);
        return;
    }
    Click(form, info, index);
}

void BatchRunner::Impl::typeText(const Command& cmd) {
    Control& c = cmd.control->get(form, 0);
    if (!c.enabled() || !c.visible() || c.readOnly()) {
        ignored(*cmd.control, -1);
        return;
    }
    // Typing starts with the focus moving into the box (dato selects its text then).
    form.setFocus(c);
    c.setText(cmd.text);
    // The waveform's clock from here on.
    if (&c == &form.FREC && waveStarted_ && wave) wave->SetFrequency(frequency(cmd.line));
}

std::int64_t BatchRunner::Impl::frequency(long line) {
    const std::int64_t kHz = DecimalValue(form.FREC.text());
    if (kHz >= 1 && kHz <= Waveform::kMaxKHz) return kHz;
    fail(2, "error at line " + std::to_string(line) + ": a waveform needs FREC from 1 to " +
                std::to_string(Waveform::kMaxKHz) + " kHz, not " + JsonString(form.FREC.text()));
}

void BatchRunner::Impl::startWaveform(long line) {
    waveStarted_ = true;
    if (!wave) return;
    wave->SetFrequency(frequency(line));
    wave->Start(form.chip, traced_);
}

void BatchRunner::Impl::trace(const Command& cmd) {
    if (waveStarted_)
        fail(2, "error at line " + std::to_string(cmd.line) + ": " + std::string(kTraceTooLate));
    for (const Waveform::Signal& s : cmd.traced)
        if (std::none_of(traced_.begin(), traced_.end(),
                         [&s](const Waveform::Signal& t) { return t.key == s.key; }))
            traced_.push_back(s);
}

int BatchRunner::Impl::stackDepth() const {
    int d = 0;
    while (d < kStackLevels && !form.chip.pila[static_cast<std::size_t>(d)].textIs("---"))
        ++d;
    return d;
}

// The routine at cmd.index as if called from nowhere: the address the PC stands at is pushed
// (no CALL executes, so the push takes no cycle) and the PC goes to the routine. It has
// returned when the stack is back at its depth before; its return then leaves the PC where it
// stood. The limit counts the routine's own cycles, its RETURN's two included.
void BatchRunner::Impl::call(const Command& cmd) {
    Chip& chip = form.chip;
    const int depth = stackDepth();
    if (depth == kStackLevels)
        fail(2, "error at line " + std::to_string(cmd.line) +
                    ": call needs a free stack level, and all 8 are in use");
    chip.PushStack(static_cast<int>(chip.RegPC.hexValue() & kPcMask));
    chip.ProgramCounter = cmd.index;
    chip.RegPC.setHex(cmd.index, 3);
    form.prg.select(cmd.index);
    lastCall_ = true;
    // A breakpoint on the routine's first word does not stop it before it has begun.
    form.BreakpointSkip = true;
    std::int64_t used = 0;
    for (;;) {
        const auto pc = static_cast<std::size_t>(chip.RegPC.hexValue() & kPcMask);
        if (form.Breakpoints[pc] == 1 && !form.BreakpointSkip) {
            form.BreakpointSkip = true;  // as a run leaves it: the next run goes on from here
            runEnd_ = kBreakpoint;
            break;
        }
        // The cycles counted so far, the one an instruction leaves pending included.
        const std::int64_t before = chip.CycleCount + chip.ExtraCycle;
        form.eje1_Click();
        const std::int64_t after = chip.CycleCount + chip.ExtraCycle;
        // A reset starts the count again; a sleeping chip counts one cycle a step, so that
        // the limit ends a call that sleeps.
        used += after > before ? after - before : after < before ? after : 1;
        if (stackDepth() <= depth) {
            runEnd_ = used <= cmd.b ? kReturn : kLimit;
            break;
        }
        if (used >= cmd.b) {
            runEnd_ = kLimit;
            break;
        }
    }
    callCycles_ = used;
}

void BatchRunner::Impl::runProgram(std::int64_t limit) {
    struct Reset {
        Impl& self;
        ~Reset() {
            // Commands the run never reached do not wait for the next one.
            self.queued_.clear();
            self.inRun_ = false;
            self.host.threshold = kNever;
        }
    } reset{*this};
    if (!form.ejecutar.enabled() || !form.ejecutar.visible()) {
        ignored(*kEjecutar, -1);
        return;
    }
    inRun_ = true;
    lastCall_ = false;
    runLimit_ = limit;
    host.count = 0;
    runEnd_ = kNoRun;
    runYields_ = 0;
    updateThreshold();
    form.ejecutar_Click();
    // Nothing of the script stopped it (or a nested run started last): a breakpoint did.
    if (runEnd_ == kNoRun) runEnd_ = kBreakpoint;
    runYields_ = host.count;
}

void BatchRunner::Impl::yieldReached(std::int64_t y) {
    ++yieldDepth_;
    struct Leave {
        Impl& self;
        ~Leave() {
            --self.yieldDepth_;
            self.updateThreshold();
        }
    } leave{*this};
    // Take the commands one at a time: one of them may start a nested run whose own yields
    // consume later entries of the same queue.
    for (;;) {
        auto it = queued_.lower_bound(y);
        if (it == queued_.end() || it->first != y) break;
        Command cmd = std::move(it->second);
        queued_.erase(it);
        execute(cmd);
    }
    host.events.clear();
    if (y >= runLimit_ && form.running()) {
        runEnd_ = kLimit;
        form.ejecutar_Click();
    }
}

void BatchRunner::Impl::updateThreshold() {
    const std::int64_t now = host.count;
    if (!inRun_) {
        host.threshold = kNever;
    } else if (now >= runLimit_) {
        // Past the limit (a run started again inside a yield): stop it at its next yield.
        host.threshold = now + 1;
    } else {
        auto next = queued_.upper_bound(now);
        host.threshold = next == queued_.end() ? runLimit_ : std::min(next->first, runLimit_);
    }
}

void BatchRunner::Impl::show(const Command& cmd) {
    const ControlInfo& info = *cmd.control;
    if (info.kind == Kind::List) {
        if (cmd.index < 0) {
            out << R"({"name":"prg","selected":)" << form.prg.selected() << R"(,"count":)"
                << form.prg.count() << "}\n";
        } else {
            out << R"({"name":"prg","index":)" << cmd.index << R"(,"text":)"
                << JsonString(listingRow(cmd.index)) << "}\n";
        }
        return;
    }
    const Control& c = info.get(form, cmd.index < 0 ? 0 : cmd.index);
    out << R"({"name":")" << info.name << '"';
    if (info.size > 0) out << R"(,"index":)" << cmd.index;
    out << R"(,"text":)" << JsonString(c.text()) << R"(,"enabled":)" << Bool(c.enabled())
        << R"(,"visible":)" << Bool(c.visible()) << R"(,"hint":)" << JsonString(c.hint());
    if (info.kind == Kind::Check) out << R"(,"value":)" << c.value();
    if (info.showsColor)
        out << R"(,"color":)" << (c.color() == ColorRole::Cell ? R"("cell")" : R"("placeholder")");
    out << "}\n";
}

void BatchRunner::Impl::state() {
    // Every control the table gives a key: a check box by its value, any other by its text; an
    // array as a list, or keyed by index when it has gaps (REG by data address).
    out << '{';
    const char* separator = "";
    for (const ControlEntry& e : Controls()) {
        if (e.state.empty()) continue;
        out << separator << '"' << e.state << "\":";
        separator = ",";
        auto element = [&](int index) {
            const Control& c = e.get(form, index < 0 ? 0 : index);
            if (e.kind == Kind::Check)
                out << c.value();
            else
                out << JsonString(c.text());
        };
        if (e.size == 0) {
            element(-1);
            continue;
        }
        out << (e.has ? '{' : '[');
        const char* comma = "";
        ForEachElement(e, [&](int index) {
            out << comma;
            comma = ",";
            if (e.has) out << '"' << index << "\":";
            element(index);
        });
        out << (e.has ? '}' : ']');
    }
    const Chip& f = form.chip;
    out << R"(,"running":)" << Bool(form.running()) << R"(,"module":{"ProgramCounter":)"
        << f.ProgramCounter << R"(,"StatusReg":)" << f.StatusReg << R"(,"CycleCount":)"
        << f.CycleCount << R"(,"ExtraCycle":)" << f.ExtraCycle << R"(,"PrescalerCount":)"
        << f.PrescalerCount << R"(,"BreakpointSkip":)" << (form.BreakpointSkip ? 1 : 0)
        << R"(,"EepromUnlock":)" << f.EepromUnlock << "}}\n";
}

void BatchRunner::Impl::expect(const Command& cmd) {
    const ControlInfo& info = *cmd.control;
    std::string actual;
    if (info.kind == Kind::List) {
        actual = listingRow(cmd.index);
    } else {
        const Control& c = info.get(form, cmd.index < 0 ? 0 : cmd.index);
        actual = info.kind == Kind::Check ? std::to_string(c.value()) : c.text();
    }
    if (actual == cmd.text) return;
    // A named element is quoted as the script named it (PORTB, count, RB0).
    const std::string name = cmd.indexName.empty() ? NameOf(info, cmd.index) : cmd.indexName;
    fail(1, "expect failed at line " + std::to_string(cmd.line) + ": " + name + " is " +
                QuoteWord(actual) + ", not " + QuoteWord(cmd.text));
}

// ---------------------------------------------------------------------------------------------

BatchRunner::BatchRunner(std::ostream& out, std::ostream& err)
    : impl_(std::make_unique<Impl>(out, err)) {}

BatchRunner::~BatchRunner() = default;

int BatchRunner::run(std::istream& script) {
    return impl_->run(script);
}

void BatchRunner::setStrict(bool strict) {
    impl_->strict = strict;
}

void BatchRunner::setWaveform(Waveform* wave) {
    impl_->wave = wave;
}

void BatchRunner::setChipMode() {
    impl_->chipOption = true;
    impl_->setChipMode();
}

const std::string& BatchRunner::failure() const {
    return impl_->failure;
}

Form1& BatchRunner::form() {
    return impl_->form;
}

ScriptedPlatform& BatchRunner::platform() {
    return impl_->host;
}

int RunBatch(std::istream& script, std::ostream& out, std::ostream& err) {
    BatchRunner runner(out, err);
    return runner.run(script);
}

}  // namespace vintrel
