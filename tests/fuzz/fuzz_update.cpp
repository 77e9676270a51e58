// The update file both ways. A generated valid file is offered exactly when its version is newer
// than the running one, with the version and the address as written (the address one word);
// the same file made malformed in one way, or answered with another status, is never offered.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/source.h"
#include "update/update_file.h"

namespace {

using vintrel::fuzz::Source;

[[noreturn]] void Fail(const char* what, const std::string& body) {
    std::fprintf(stderr, "%s\nbody: [%s]\n", what, body.c_str());
    std::abort();
}

int Piece(Source& in) {
    switch (in.byte() % 4) {
        case 0:
            return in.range(0, 3);
        case 1:
            return in.range(0, 1200);
        default:
            return in.range(0, 32767);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Source in(data, size);
    const vintrel::Version running{static_cast<std::int16_t>(in.range(0, 3)),
                                   static_cast<std::int16_t>(in.range(0, 3)),
                                   static_cast<std::int16_t>(in.range(0, 3))};
    const vintrel::Version v{static_cast<std::int16_t>(Piece(in)),
                             static_cast<std::int16_t>(Piece(in)),
                             static_cast<std::int16_t>(Piece(in))};
    static const char kSafe[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&'()*+,;=%";
    std::string address = "http://";
    for (int n = in.range(0, 40); n > 0; --n)
        address += kSafe[in.byte() % (sizeof kSafe - 1)];
    static const char* kTrail[] = {"", "\n", "\r\n", " ", "\t\n"};
    address += kTrail[in.byte() % 5];
    static const char* kSep[] = {"", " ", "\n", "\r\n", "  \t"};
    std::string body = std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                       std::to_string(v.revision) + kSep[in.byte() % 5] + address;
    static const char* kOk[] = {"HTTP/1.1 200 OK", "HTTP/1.0 200 OK\r\nServer: x"};
    const std::string ok = kOk[in.byte() % 2];

    const auto offer = vintrel::CheckUpdate(ok, body, running);
    const bool newer = *vintrel::VersionNumber(v) > *vintrel::VersionNumber(running);
    if (offer.has_value() != newer) Fail(newer ? "a newer version not offered" : "offered", body);
    if (offer && (!(offer->version == v) || offer->address != address))
        Fail("the offer differs from the file", body);

    // One fault; the version is made newer first so that only the fault can refuse it.
    body = std::to_string(running.major + 1) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision) + " " + address;
    std::string headers = ok;
    switch (in.byte() % 6) {
        case 0:  // no address (unless the random part happens to hold another)
            body.erase(body.find("http://"), 7);
            if (body.find("http://") != std::string::npos) return 0;
            break;
        case 1:
            body.erase(body.find('.'), 1);
            break;  // one dot
        case 2: {   // a character that would split or escape the command line
            static const char kBad[] = " \"\\`\x01\x7f<>|";
            // Followed by a letter: trailing blanks alone are allowed.
            body.insert(body.find("http://") + 7,
                        std::string(1, kBad[in.byte() % (sizeof kBad - 1)]) + "x");
            break;
        }
        case 3:
            body.insert(0, std::to_string(in.range(32768, 99999)));
            break;  // major too big
        case 4:
            body.insert(0, std::string(vintrel::kMaxUpdateBody, ' '));
            break;
        default: {
            static const char* kStatus[] = {
                "HTTP/1.1 404 Not Found", "HTTP/1.1 2OO",   "", "HTTP/1.1",
                "HTTP/1.1 201 Created",   "HTTP/1.1 500 OK"};
            headers = kStatus[in.byte() % 6];
            break;
        }
    }
    if (vintrel::CheckUpdate(headers, body, running)) Fail("a malformed file was offered", body);
    return 0;
}
