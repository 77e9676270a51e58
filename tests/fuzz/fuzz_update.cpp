// The update file both ways. A generated valid file is offered exactly when its version is newer
// than the running one, with the version and the address as written; under another status, or
// with a character in its address that the command line cannot take, it is not.
#include <string>

#include "fuzz/fuzz.h"
#include "update/update_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vintrel::fuzz::Source in(data, size);
    auto piece = [&](int kind) {
        return static_cast<std::int16_t>(in.range(0, kind == 0 ? 3 : kind == 1 ? 1200 : 32767));
    };
    const vintrel::Version running{piece(0), piece(0), piece(0)},
        v{piece(in.byte() % 3), piece(in.byte() % 3), piece(in.byte() % 3)};
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
    if (offer.has_value() != newer ||
        (offer && (!(offer->version == v) || offer->address != address)))
        vintrel::fuzz::Fail("the offer differs from the file", body);

    // A newer version, refused under another status or with a character the address cannot hold.
    static const char kBad[] = " \"\\`\x01\x7f<>|";
    static const char* kStatus[] = {"HTTP/1.1 404 Not Found", "HTTP/1.1 2OO", "",
                                    "HTTP/1.1 500 OK"};
    if (newer && vintrel::CheckUpdate(kStatus[in.byte() % 4], body, running))
        vintrel::fuzz::Fail("offered under another status", body);
    body.insert(body.find("http://") + 7, std::string(1, kBad[in.byte() % 9]) + "x");
    if (vintrel::CheckUpdate(ok, body, running)) vintrel::fuzz::Fail("offered", body);
    return 0;
}
