// The assembler helper's reading of its command line and of gpasm's messages, and the texts of
// its outcome (the same on the terminal and in the results window).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assembly.h"

namespace vintrel::tools {
namespace {

using V = std::vector<std::string>;

TEST(AssemblerArguments, OptionsThenTheExactSourcePath) {
    const struct {
        const char* name;
        V args;
        const char* exact;  // nullptr: no exact text given
        const char* source;
        const char* format;
        bool insensitive;
        const char* radix;
        const char* processor;
    } cases[] = {
        {"the button's line",
         {"/aINHX8M", "/c-", "/l-", "/rDEC", "/w2", "/PPIC16F84", "/x/a.asm"},
         nullptr,
         "/x/a.asm",
         "inhx8m",
         true,
         "dec",
         "p16f84"},
        {"any case and order",
         {"/p16f84", "/Ainhx32", "/RoCt", "/C+", "a.asm"},
         nullptr,
         "a.asm",
         "inhx32",
         false,
         "oct",
         "p16f84"},
        {"a path starting with /p is no option",
         {"/c-", "/pic/x.asm"},
         nullptr,
         "/pic/x.asm",
         "inhx8m",
         true,
         "",
         ""},
        {"words joined again without the exact text",
         {"/c-", "/x/a", "b.asm"},
         nullptr,
         "/x/a b.asm",
         "inhx8m",
         true,
         "",
         ""},
        {"two blanks kept",
         {"/aINHX8M", "/c-", "/x/a", "b.asm"},
         "/aINHX8M /c- /x/a  b.asm",
         "/x/a  b.asm",
         "inhx8m",
         true,
         "",
         ""},
        {"leading and trailing blanks of the path kept",
         {"/c-", "/x/a.asm"},
         "/c-  /x/a.asm  ",
         "/x/a.asm  ",
         "inhx8m",
         true,
         "",
         ""},
        {"text that does not match the words is ignored",
         {"/c-", "/x/a", "b.asm"},
         "/c- /x/other  file.asm",
         "/x/a b.asm",
         "inhx8m",
         true,
         "",
         ""},
        {"no source", {"/c-", "/w2"}, "/c- /w2", "", "inhx8m", true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string exact = c.exact ? c.exact : "";
        const AssemblerOptions o = ParseAssemblerArguments(c.args, c.exact ? &exact : nullptr);
        EXPECT_EQ(o.source, c.source);
        EXPECT_EQ(o.format, c.format);
        EXPECT_EQ(o.caseInsensitive, c.insensitive);
        EXPECT_EQ(o.radix, c.radix);
        EXPECT_EQ(o.processor, c.processor);
    }
}

TEST(GpasmOutput, EachMessageWithItsKindFileLineAndText) {
    const auto m = ParseGpasmOutput(
        "/x/a.asm:1:Warning[215] Processor superseded by command line.\n"
        "/x/a.asm:6:Error[113]   Symbol not previously defined: \"nowhere\"\r\n"
        "\n"
        "/usr/share/gputils/header/p16f84.inc:40:Message[302] Register in operand not in bank 0.\n"
        "nonexist.asm: No such file or directory");
    ASSERT_EQ(m.size(), 4u);
    using K = AssemblerMessage::Kind;
    EXPECT_EQ(m[0].kind, K::Warning);
    EXPECT_EQ(m[0].line, 1);
    EXPECT_EQ(m[0].text, "[215] Processor superseded by command line.");
    EXPECT_EQ(m[1].kind, K::Error);
    EXPECT_EQ(m[1].file, "/x/a.asm");
    EXPECT_EQ(m[1].line, 6);
    EXPECT_EQ(m[1].text, "[113] Symbol not previously defined: \"nowhere\"");
    EXPECT_EQ(m[2].kind, K::Message);
    EXPECT_EQ(m[2].line, 40);
    EXPECT_EQ(m[3].kind, K::Other);
    EXPECT_EQ(m[3].line, 0);
    EXPECT_EQ(m[3].text, "nonexist.asm: No such file or directory");
}

AssemblyOutcome Failed() {
    AssemblyOutcome o;
    o.source = "/x/Mis  Fuentes/a.asm";
    o.hex = "/x/Mis  Fuentes/a.hex";
    o.staleHexRemoved = true;
    o.listing = "/x/Mis  Fuentes/a.lst";
    o.messages = ParseGpasmOutput(
        "/x/Mis  Fuentes/a.asm:1:Warning[215] Processor superseded by command line.\n"
        "/x/Mis  Fuentes/inc.inc:3:Error[113]   Symbol not previously defined: \"zz\"\n"
        "/x/Mis  Fuentes/a.asm:9:Error[108]   Illegal character (;)\n");
    return o;
}

TEST(AssemblyReport, SaysWhatHappenedLikeTheMakersAssembler) {
    AssemblyOutcome ok;
    ok.source = "/x/a.asm";
    ok.ok = true;
    ok.hex = "/x/a.hex";
    ok.listing = "/x/a.lst";
    EXPECT_EQ(ReportText(ok),
              "Fuente: /x/a.asm\n"
              "Sin errores\n"
              "Errores: 0, avisos: 0, mensajes: 0\n"
              "Fichero HEX escrito: /x/a.hex\n"
              "Listado: /x/a.lst\n");
    EXPECT_EQ(ReportText(Failed()),
              "Fuente: /x/Mis  Fuentes/a.asm\n"
              "Con errores\n"
              "Errores: 2, avisos: 1, mensajes: 0\n"
              "Aviso, línea 1: [215] Processor superseded by command line.\n"
              "Error, inc.inc, línea 3: [113] Symbol not previously defined: \"zz\"\n"
              "Error, línea 9: [108] Illegal character (;)\n"
              "No se ha escrito ningún fichero HEX; se ha borrado el anterior: "
              "/x/Mis  Fuentes/a.hex\n"
              "Listado: /x/Mis  Fuentes/a.lst\n");
    AssemblyOutcome missing;
    missing.source = "/x/a.asm";
    missing.hex = "/x/a.hex";
    missing.problem = "no se encuentra gpasm (instale el paquete gputils)";
    EXPECT_EQ(ReportText(missing),
              "Fuente: /x/a.asm\n"
              "No se ha podido ensamblar: no se encuentra gpasm (instale el paquete gputils)\n"
              "Errores: 0, avisos: 0, mensajes: 0\n"
              "No se ha escrito ningún fichero HEX.\n");
}

TEST(AssemblyReport, OutcomeCrossesToTheWindowProgramWhole) {
    const AssemblyOutcome o = Failed();
    AssemblyOutcome back;
    ASSERT_TRUE(OutcomeFromText(OutcomeToText(o), back));
    EXPECT_EQ(ReportText(back), ReportText(o));
    EXPECT_EQ(back.messages[1].file, o.messages[1].file);

    std::string text = OutcomeToText(o);
    text.pop_back();  // a message cut short
    EXPECT_FALSE(OutcomeFromText(text, back));
    text = OutcomeToText(o);
    text.replace(text.find("1:W"), 3, "1:X");  // unknown kind
    EXPECT_FALSE(OutcomeFromText(text, back));
    EXPECT_FALSE(OutcomeFromText("--aviso", back));
}

}  // namespace
}  // namespace vintrel::tools
