#include "host/scripted_platform.h"

#include <cstdio>

namespace vintrel {

std::string JsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

void ScriptedPlatform::record(std::string line) {
    if (sink) sink(line);
    events.push_back(std::move(line));
}

void ScriptedPlatform::beep() {
    record("beep");
}

bool ScriptedPlatform::messageBox(std::string_view text, MessageButtons buttons,
                                  MessageAlign align) {
    lastButtons = buttons;
    lastAlign = align;
    record("message " + JsonString(text));
    if (buttons == MessageButtons::Ok) return true;
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
}

std::string ScriptedPlatform::openFileDialog(std::string_view filter, std::string_view defaultExt) {
    lastFilter.assign(filter);
    lastDefaultExt.assign(defaultExt);
    std::string chosen = pendingChoice.value_or(std::string());
    pendingChoice.reset();
    return chosen;
}

void ScriptedPlatform::yield() {
    ++yields;
    if (onYield) onYield();
}

void ScriptedPlatform::launch(std::string_view commandLine, WindowStyle style) {
    record("launch " + JsonString(commandLine) +
           (style == WindowStyle::Minimized ? " minimized" : " normal"));
}

void ScriptedPlatform::endProgram() {
    record("end");
    if (onEnd) onEnd();
    throw ProgramEnded{};
}

}  // namespace vintrel
