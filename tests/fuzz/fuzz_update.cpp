// The update file both ways. A generated valid file is offered exactly when its version is newer
// than the running one, with the version and the address as written; the same file made
// malformed in one way, or answered with another status, is never offered.
#include <string>

#include "fuzz/fuzz.h"
#include "update/update_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vintrel::fuzz::Source in(data, size);
    auto piece = [&] {
        const int kind = in.byte() % 3;
        return static_cast<std::int16_t>(in.range(0, kind == 0 ? 3 : kind == 1 ? 1200 : 32767));
    };
    const auto small = [&] { return static_cast<std::int16_t>(in.range(0, 3)); };
    const vintrel::Version running{small(), small(), small()}, v{piece(), piece(), piece()};
    static const char kSafe[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~:/?#[]@!$&'()*+,;=%";
    static const char* kTrail[] = {"", "\n", "\r\n", " ", "\t\n"};
    static const char* kSep[] = {"", " ", "\n", "\r\n", "  \t"};
    std::string address = "http://";
    for (int n = in.range(0, 40); n > 0; --n)
        address += kSafe[in.byte() % (sizeof kSafe - 1)];
    address += kTrail[in.byte() % 5];
    const std::string ok = in.coin() ? "HTTP/1.1 200 OK" : "HTTP/1.0 200 OK\r\nServer: x";
    std::string body = vintrel::VersionText(v) + kSep[in.byte() % 5] + address;

    const auto offer = vintrel::CheckUpdate(ok, body, running);
    const auto number = vintrel::VersionNumber(v);  // nothing past 32 bits: never offered
    const bool newer = number && *number > *vintrel::VersionNumber(running);
    if (offer.has_value() != newer) vintrel::fuzz::Fail(newer ? "not offered" : "offered", body);
    if (offer && (!(offer->version == v) || offer->address != address))
        vintrel::fuzz::Fail("the offer differs from the file", body);

    // One fault; the version is made newer first so that only the fault can refuse it.
    vintrel::Version newest = v;
    newest.major = static_cast<std::int16_t>(running.major + 1);
    body = vintrel::VersionText(newest) + " " + address;
    std::string headers = ok;
    static const char kBad[] = " \"\\`\x01\x7f<>|";  // would split or escape the command line
    static const char* kStatus[] = {"HTTP/1.1 404 Not Found", "HTTP/1.1 2OO", "",
                                    "HTTP/1.1 201 Created", "HTTP/1.1 500 OK"};
    const std::size_t http = body.find("http://");
    switch (in.byte() % 5) {
        case 0:  // no address (unless the random part holds another)
            body.erase(http, 7);
            if (body.find("http://") != std::string::npos) return 0;
            break;
        case 1:  // one dot
            body.erase(body.find('.'), 1);
            break;
        case 2:  // a character the address cannot hold, before its end
            body.insert(http + 7, std::string(1, kBad[in.byte() % 9]) + "x");
            break;
        case 3:  // a major version past 16 bits, or a body too long to read
            body.insert(0, in.coin() ? std::to_string(in.range(32768, 99999))
                                     : std::string(vintrel::kMaxUpdateBody, ' '));
            break;
        default:
            headers = kStatus[in.byte() % 5];
    }
    if (vintrel::CheckUpdate(headers, body, running))
        vintrel::fuzz::Fail("malformed, offered", body);
    return 0;
}
