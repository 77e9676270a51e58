// The assembler helper `mpasmwin.exe`: the maker's assembler options read from the command line,
// gputils' gpasm run on the source, and the outcome as the results window and the terminal show
// it. Nothing here needs a window toolkit.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace vintrel::tools {

struct AssemblerOptions {
    std::string format = "inhx8m";  // gpasm's -a
    bool caseInsensitive = false;   // gpasm's -i
    std::string radix;              // gpasm's -r; empty: gpasm's default
    std::string warningLevel;       // gpasm's -w; empty: gpasm's default
    std::string processor;          // gpasm's -p, e.g. "p16f84"; empty: as the source says
    std::string source;             // the source path, exactly as given
    // gpasm is stopped after this long: an include that never ends (a FIFO) would hold it.
    std::chrono::milliseconds timeLimit{30000};
};

// Reads "/aINHX8M /c- /l- /rDEC /w2 /PPIC16F84 SOURCE": options first, in any order and case;
// everything from the first word that is not an option is the source path. `args` are the
// program's arguments. When `exactText` is given and its words (split at runs of blanks) are
// `args`, the path is taken from it, blanks as written; otherwise the remaining words are joined
// with single blanks.
AssemblerOptions ParseAssemblerArguments(const std::vector<std::string>& args,
                                         const std::string* exactText);

struct AssemblerMessage {
    enum class Kind { Error, Warning, Message, Other };
    Kind kind = Kind::Other;
    std::string file;  // as gpasm names it; empty when gpasm names none
    int line = 0;      // 0 when gpasm gives none
    std::string text;  // gpasm's words after the kind, e.g. "[113] Symbol not previously …"
};

// gpasm's output, one message a line ("FILE:LINE:Error[113]   text"), read by plain scanning
// whatever the line's length; other lines are kept as messages of kind Other.
std::vector<AssemblerMessage> ParseGpasmOutput(std::string_view output);

struct AssemblyOutcome {
    std::string source;
    bool ok = false;
    std::string hex;  // written when ok; the name of the removed file otherwise
    bool staleHexRemoved = false;
    std::string listing;     // the listing left beside the HEX file; empty when none
    std::string problem;     // why nothing could be assembled, when gpasm said nothing of it
    std::string hexProblem;  // why a good assembly's HEX file could not be put in place
    std::vector<AssemblerMessage> messages;
};

// Runs gpasm (found on PATH, started without a shell) on `options.source` in a scratch
// directory and leaves SOURCE.hex (on success only: gpasm failing on the source removes the
// old one) and SOURCE.lst beside the source; SOURCE.err holds gpasm's messages when there are
// any. Each is written as a new file renamed into place, so a link there is replaced, never
// followed. Nothing else (objects, .cod) is left there. A source that is missing or not a
// regular file is refused before anything is touched.
AssemblyOutcome Assemble(const AssemblerOptions& options);

// The outcome's texts, shared by the terminal and the window.
std::string KindText(AssemblerMessage::Kind kind);
std::string WhereText(const AssemblerMessage& m, const std::string& source);  // "línea 7"
std::string VerdictText(const AssemblyOutcome& o);                            // "Sin errores"
std::string CountsText(const AssemblyOutcome& o);  // "Errores: 0, avisos: 1, mensajes: 0"
std::string HexText(const AssemblyOutcome& o);
// Everything above as lines, as printed without a window.
std::string ReportText(const AssemblyOutcome& o);

// The outcome as the text the results window reads on its standard input (an argument list
// could exceed the system's limit), and back. FromText returns false for a text that is not one.
std::string OutcomeToText(const AssemblyOutcome& o);
bool OutcomeFromText(std::string_view text, AssemblyOutcome& o);

}  // namespace vintrel::tools
