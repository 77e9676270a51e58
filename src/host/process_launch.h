// Starting an outside program from one command-line text, the way the simulator's buttons and
// the updater need it on Linux: no shell, no waiting, nothing left behind.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vintrel {

// The words of a command line: split at spaces, a run of spaces being one separator; leading
// and trailing spaces give no empty words. Nothing else is special: quotes, `$`, `;`, `\` and
// the like are ordinary characters, so no text taken from a file name or a server can ever be
// interpreted.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The executable a program name stands for, or an empty text when there is none. A name with a
// "/" is taken as it stands; a bare name is looked for in `appDir` first (the helpers shipped
// beside the simulator win over anything of the same name on PATH), then along PATH. Empty PATH
// entries are skipped rather than read as the current directory.
std::string FindProgram(const std::string& name, const std::string& appDir);

// The environment variable in which a launched program finds the exact text that followed its
// name on the command line (the blanks after the name removed, everything else as written). The
// words lose runs of blanks; a helper whose arguments match the split of this text acts on the
// text instead, so a file named `a  b.asm` stays that file.
inline constexpr const char* kArgumentTextVariable = "VINTREL_ARGUMENT_TEXT";

// The text after the first word of `commandLine` and the blanks that follow it.
std::string_view TextAfterFirstWord(std::string_view commandLine);

// Starts the program named by `commandLine` with the rest of the words as its arguments and
// returns at once; true when the program was found and its image started. The program's
// environment is the simulator's with kArgumentTextVariable set to the text after its name.
//
// A command line that begins with `appDir` followed by "/" names a program in the application
// directory even when that directory's path holds spaces; the split then starts after it.
//
// The program runs fully detached in a session of its own (double fork: the intermediate child
// is reaped here, so no zombie is left, and the program is adopted by init or the session's
// subreaper), with stdin from /dev/null, stdout and stderr inherited, the signal mask and
// dispositions reset and no other descriptor of the simulator open.
//
// There is no window style: X11 and Wayland give a launcher no say over how another program's
// first window appears (only the program itself can ask its window manager to start it
// iconified), and the helper that is started minimized, the assembler, opens no window at all.
bool LaunchDetached(std::string_view commandLine, const std::string& appDir);

}  // namespace vintrel
