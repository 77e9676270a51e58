// The update file as the start-up window reads it: one table from the response's status line
// and body to the version offered (or none), against the running version.
#include "update/update_file.h"

#include <gtest/gtest.h>

#include <string>

namespace vintrel {
namespace {

TEST(UpdateFile, Table) {
    const std::string ok = "HTTP/1.1 200 OK\r\n\r\n", big(kMaxUpdateBody - 15, 'a');
    const struct {
        std::string headers, body;
        Version running;
        std::string offered;  // "VERSION|ADDRESS", or "" for nothing
    } cases[] = {
        {ok, "1.2.3\nhttp://h/v.deb\n", {1, 1, 0}, "1.2.3|http://h/v.deb\n"},
        {"HTTP/1.0 200", " 2 . 0 . 7 \r\n\r\nhttp://h/\r\n", {1, 1, 0}, "2.0.7|http://h/\r\n"},
        {"HTTP/1.1 2001", "2.0.0http://h/", {1, 1, 0}, "2.0.0|http://h/"},  // 3 characters
        {"HTTP/1.1 404 Not Found\r\n", "9.0.0 http://h/", {1, 1, 0}, ""},
        {"HTTP/2 200 OK", "9.0.0 http://h/", {1, 1, 0}, ""},
        {"", "9.0.0 http://h/", {1, 1, 0}, ""},
        {ok, "9.0.0 http://h/" + big, {1, 1, 0}, "9.0.0|http://h/" + big},  // 64 KiB at most
        {ok, "9.0.0 http://h/a" + big, {1, 1, 0}, ""},
        // the first "http://" and the first two dots split; pieces read as decimal numbers
        // rounded half to even
        {ok, "1.2.3.5 http://h/", {1, 1, 0}, "1.2.4|http://h/"},
        {ok, "1.2.2.5 http://h/", {1, 2, 2}, ""},
        {ok, "1.2.2.50001 http://h/", {1, 2, 2}, "1.2.3|http://h/"},
        {ok, "+2.-3.12abc http://h/", {1, 1, 0}, "2.-3.12|http://h/"},
        {ok,
         "0002.0000000000000000000000000.1e3 http://h/1.2.3",
         {1, 1, 0},
         "2.0.1|http://h/1.2.3"},
        {ok, "x.y.z http://h/", {-1, 0, 0}, "0.0.0|http://h/"},
        {ok, "2.0.0\n", {1, 1, 0}, ""},
        {ok, "2.0.0 HTTP://h/", {1, 1, 0}, ""},
        {ok, "2.0 http://h/x.y", {1, 1, 0}, ""},
        {ok, "1.40000.0 http://h/", {1, 1, 0}, ""},     // beyond 16 bits
        {ok, "2147.483.648 http://h/", {1, 1, 0}, ""},  // beyond 32 bits
        {ok, "2147.483.647 http://h/", {1, 1, 0}, "2147.483.647|http://h/"},
        // only a strictly greater major * 1000000 + minor * 1000 + revision is newer
        {ok, "1.1.0 http://h/", {1, 1, 0}, ""},
        {ok, "1.0.1000 http://h/", {1, 1, 0}, ""},
        {ok, "2.0.0 http://h/", {1, 9, 999}, "2.0.0|http://h/"},
        {ok, "1.1000.0 http://h/", {2, 0, 0}, ""},
        {ok, "1.1000.1 http://h/", {2, 0, 0}, "1.1000.1|http://h/"},
        // the address runs to the end and must not split or escape the updater's command line
        {ok, "1.2.3 http://h/a http://h/b", {1, 1, 0}, ""},
        {ok, "1.2.3 http://h/\"x\"", {1, 1, 0}, ""},
        {ok, "1.2.3 http://h/a\\b", {1, 1, 0}, ""},
        {ok, std::string("1.2.3 http://h/a\0b", 18), {1, 1, 0}, ""},
        {ok, "1.2.3 http://h/\xc3\xa1", {1, 1, 0}, ""},
        {ok,
         "1.2.3 http://h/d?a=1&b=%20;c=(x)\n \t",
         {1, 1, 0},
         "1.2.3|http://h/d?a=1&b=%20;c=(x)\n \t"},
    };
    for (const auto& c : cases) {
        const auto found = CheckUpdate(c.headers, c.body, c.running);
        EXPECT_EQ(found ? VersionText(found->version) + "|" + found->address : "", c.offered)
            << c.headers << " / " << c.body.substr(0, 40);
    }
    EXPECT_EQ(UpdateQuestion({1, 1, 0}, {1, 2, 3}),
              "Hay actualizaciones disponibles\n(Versión actual: 1.1.0 - Versión nueva: 1.2.3)\n"
              "¿Desea descargarla ahora?");
}

}  // namespace
}  // namespace vintrel
