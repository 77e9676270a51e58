// The update-file parser fed a status line and a body. An offer is made only for a strictly
// newer version whose address starts with "http://" and came from a 200 answer.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "startup/update_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    // The first line is the header text, the rest the body.
    const auto nl = all.find('\n');
    const std::string_view headers = nl == std::string_view::npos ? all : all.substr(0, nl);
    const std::string_view body =
        nl == std::string_view::npos ? std::string_view{} : all.substr(nl + 1);
    const vintrel::Version running{1, 1, 0};
    const auto offer = vintrel::CheckUpdate(headers, body, running);
    if (!offer) return 0;
    if (headers.size() < 12 || headers.substr(9, 3) != "200") std::abort();
    if (offer->address.rfind("http://", 0) != 0) std::abort();
    if (body.find(offer->address) == std::string_view::npos) std::abort();
    const auto mine = vintrel::VersionNumber(running);
    const auto theirs = vintrel::VersionNumber(offer->version);
    if (!mine || !theirs || *theirs <= *mine) std::abort();
    (void)vintrel::UpdateQuestion(running, offer->version);
    return 0;
}
