// Three small targets, one built per definition: FUZZ_GPASM, gpasm's messages; FUZZ_LISTING,
// the symbol table of a gpasm listing; FUZZ_JUNIT, the JUnit report, which must stay well-formed
// XML whatever the scripts printed.
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz.h"

namespace {

using vintrel::fuzz::Fail;
using vintrel::fuzz::Source;

// A letter, then up to `max` letters, digits and `extra` characters, then `last`.
[[maybe_unused]] std::string Word(Source& in, int max, const char* extra, char last = 'z') {
    const std::string chars = std::string("abcXYZ_019") + extra;
    std::string w = "a";
    for (int n = in.range(0, max); n > 0; --n)
        w += chars[in.byte() % chars.size()];
    return w + last;
}

}  // namespace

#ifdef FUZZ_GPASM
#include "assembly.h"

// One message a line that is not blank, LF or CRLF: its kind, file, line and text, or kind Other.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using vintrel::tools::AssemblerMessage;
    Source in(data, size);
    static const char* kKinds[] = {"Error", "Warning", "Message"};
    std::string output;
    std::vector<AssemblerMessage> want;
    for (int n = in.range(0, 8); n > 0; --n) {
        const int kind = in.byte() % 5, line = in.range(0, 99999);
        const std::string code = "[" + std::to_string(in.range(0, 999)) + "]";
        const std::string file = "/" + Word(in, 40, " /.", 'm'), text = Word(in, 300, " .;\"()");
        if (kind < 3) {
            want.push_back({AssemblerMessage::Kind(kind), file, line, code + " " + text});
            output += file + ":" + std::to_string(line) + ":" + kKinds[kind] + code +
                      std::string(std::size_t(in.range(0, 3)), ' ') + text;
        } else if (kind == 3) {  // a line that is no message
            want.push_back({AssemblerMessage::Kind::Other, "", 0, text});
            output += text;
        } else {  // a blank line
            output += in.coin() ? "" : " \t";
        }
        output += in.coin() ? "\n" : "\r\n";
    }
    const auto got = vintrel::tools::ParseGpasmOutput(output);
    bool same = got.size() == want.size();
    for (std::size_t i = 0; same && i < got.size(); ++i)
        same = got[i].kind == want[i].kind && got[i].file == want[i].file &&
               got[i].line == want[i].line && got[i].text == want[i].text;
    if (!same) Fail("messages differ", output);
    return 0;
}
#endif

#ifdef FUZZ_LISTING
#include "batch/names.h"

// Code lines, the table over pages, the memory map: the names of the table and no others.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Source in(data, size);
    vintrel::Symbols want;
    std::string listing, page = "SYMBOL TABLE\n  LABEL                             VALUE\n\n";
    const int lines = in.range(0, 40), table = in.range(0, lines);  // the table: the last lines
    for (int n = lines; n > 0; --n) {
        const std::string name = Word(in, 20, "."), gap(std::size_t(in.range(1, 30)), ' ');
        const std::int64_t high = in.u16(), value = high << 16 | in.u16();
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(value));
        if (n == table || (n < table && in.chance(16)))  // the table starts, or a new page of it
            listing += (n == table ? "" : "\fgpasm-1.5.2 #1325 prog.asm  PAGE  3\n\n\n") + page;
        if (in.chance(32)) {
            listing += "0000   3001  00001  movlw 1\n";
            continue;
        }
        listing += name + gap + hex + "\n";
        if (n <= table) want[name] = value;
    }
    listing += "\nMEMORY USAGE MAP ('X' = Used,  '-' = Unused)\n\nafter 00000001\n";
    std::istringstream stream(listing);
    if (vintrel::ReadListingSymbols(stream) != want) Fail("symbols differ", listing);
    return 0;
}
#endif

#ifdef FUZZ_JUNIT
#include "batch/suite.h"

// Well-formed enough for an XML reader: balanced tags, no '<' or stray '&' in text or in an
// attribute, no control character, UTF-8 sequences whole. What is wrong, or nothing.
std::string XmlFault(const std::string& x) {
    std::vector<std::string> open;
    std::size_t tag = 0,
                more = 0;  // one past the '<' of the tag being read (0: none); UTF-8 bytes due
    bool quoted = false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const auto c = static_cast<unsigned char>(x[i]);
        const std::string at = " at " + std::to_string(i);
        if (more > 0 ? (c & 0xC0) != 0x80 : c >= 0x80 && (c < 0xC2 || c > 0xF4))
            return "UTF-8" + at;
        more = more > 0 ? more - 1 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || (c == '<' && tag))
            return "a byte" + at;
        const std::string e = c == '&' ? x.substr(i + 1, x.find(';', i) - i - 1) : "amp";
        if (e != "amp" && e != "lt" && e != "gt" && e != "quot" && e != "apos" &&
            (e.size() < 2 || e[0] != '#' ||
             e.find_first_not_of("0123456789abcdefABCDEFx", 1) != e.npos))
            return "a stray &" + at;
        if (c == '<') tag = i + 1;
        quoted = quoted != (tag && c == '"');
        if (c != '>' || !tag || quoted) continue;
        const std::string t = x.substr(tag, i - tag), name = t.substr(0, t.find(' '));
        tag = 0;
        if (name.empty() || (name[0] == '/' && (open.empty() || "/" + open.back() != name)))
            return "unbalanced <" + name + ">" + at;
        if (name[0] == '/')
            open.pop_back();
        else if (name[0] != '?' && t.back() != '/')
            open.push_back(name);
    }
    return tag || more || !open.empty() ? "a tag or a character left open" : "";
}

// Scripts with any bytes in their names, failures and output: one case each, its outcome kept.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Source in(data, size);
    auto text = [&] {
        std::string t;
        for (int n = in.range(0, in.coin() ? 8 : 200); n > 0; --n)
            t += static_cast<char>(in.chance(200) ? in.range(0x20, 0x7E) : in.byte());
        return t;
    };
    std::vector<vintrel::ScriptResult> results(std::size_t(in.range(0, 4)));
    std::string outcomes, got;
    for (auto& r : results) {
        r = {text(), in.range(0, 2), text(), text(), text(), in.range(0, 100000) / 1000.0};
        outcomes += r.status == 0 ? "-" : r.status == 1 ? "-failure" : "-error";
    }
    std::ostringstream xml;
    vintrel::WriteJUnit(xml, results);
    const std::string x = xml.str(), t = text();
    for (std::size_t at = x.find("<testcase "); at != x.npos; at = x.find("<testcase ", at + 1)) {
        const std::size_t next = x.find('<', x.find('>', at) + 1);
        got += x.compare(next, 9, "<failure ") ? x.compare(next, 7, "<error ") ? "-" : "-error"
                                               : "-failure";
    }
    if (const std::string f = XmlFault(x); !f.empty() || got != outcomes) Fail(f + got, x);
    if (const std::string f = XmlFault(vintrel::XmlText(t)); !f.empty()) Fail("XmlText: " + f, t);
    return 0;
}
#endif
