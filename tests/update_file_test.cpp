#include "update/update_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vintrel {
namespace {

const Version kRunning{1, 1, 0};

TEST(UpdateFile, StatusIsTakenFromCharactersTenToTwelve) {
    const struct {
        const char* headers;
        int status;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n", 200},
        {"HTTP/1.0 200", 200},
        {"HTTP/1.1 404 Not Found\r\n", 404},
        {"HTTP/1.1 2001", 200},  // only three characters are looked at
        {"HTTP/1.1 20", 20},
        {"HTTP/1.1 ", 0},
        {"", 0},
        {"HTTP/1.1 OK 200", 0},
        {"HTTP/2 200 OK", 0},  // the code sits elsewhere in an HTTP/2 status line
    };
    for (const auto& c : cases)
        EXPECT_EQ(HttpStatus(c.headers), c.status) << c.headers;
}

TEST(UpdateFile, PiecesReadLikeDecimalNumbersRoundedHalfToEven) {
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"7", 7},
        {" \t\r\n 7", 7},
        {"0000000000000000000000000012", 12},
        {"12abc", 12},
        {"1 2", 1},
        {"1e3", 1},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+4", 4},
        {"-3", -3},
        {"2.5", 2},
        {"3.5", 4},
        {"2.50001", 3},
        {"2.4999", 2},
        {"-2.5", -2},
        {"-3.5", -4},
        {".5", 0},
        {"1.", 1},
        {"32767", 32767},
        {"32767.4", 32767},
        {"32767.5", std::nullopt},
        {"32768", std::nullopt},
        {"-32768", -32768},
        {"-32768.5", -32768},
        {"-32769", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = VersionPiece(c.text);
        if (c.value) {
            ASSERT_TRUE(got.has_value()) << '"' << c.text << '"';
            EXPECT_EQ(*got, *c.value) << '"' << c.text << '"';
        } else {
            EXPECT_FALSE(got.has_value()) << '"' << c.text << "\" gave " << *got;
        }
    }
}

TEST(UpdateFile, BodySplitsAtTheFirstHttpAndTheFirstTwoDots) {
    const struct {
        std::string body;
        std::optional<Version> version;
        std::string address;
    } cases[] = {
        {"1.2.3\nhttp://h/v.deb\n", Version{1, 2, 3}, "http://h/v.deb\n"},
        {"1.2.3http://h/a http://h/b", std::nullopt, ""},  // the address runs on past a blank
        {"1.2.3http://h/a", Version{1, 2, 3}, "http://h/a"},
        {" 2 . 0 . 7 \r\n\r\nhttp://h/\r\n", Version{2, 0, 7}, "http://h/\r\n"},
        {"1.2.3.5 http://h/", Version{1, 2, 4}, "http://h/"},  // revision "3.5"
        {"x.y.z http://h/", Version{0, 0, 0}, "http://h/"},
        {"1..http://h/", Version{1, 0, 0}, "http://h/"},
        {"2.0.0\n", std::nullopt, ""},
        {"2.0.0 HTTP://h/", std::nullopt, ""},
        {"2.0 http://h/x.y", std::nullopt, ""},
        {"http://h/1.2.3", std::nullopt, ""},
        {"", std::nullopt, ""},
        {"40000.0.0 http://h/", std::nullopt, ""},
        {"1.2.3 http://h/\"x\"", std::nullopt, ""},
        {"1.2.3 http://h/a\\b", std::nullopt, ""},
        {"1.2.3 http://h/a\tb", std::nullopt, ""},
        {std::string("1.2.3 http://h/a\0b", 18), std::nullopt, ""},
        {"1.2.3 http://h/\xc3\xa1", std::nullopt, ""},
        {"1.2.3 http://h/d?a=1&b=%20;c=(x)\n \t\r\n", Version{1, 2, 3},
         "http://h/d?a=1&b=%20;c=(x)\n \t\r\n"},
    };
    for (const auto& c : cases) {
        const auto file = ParseUpdateFile(c.body);
        ASSERT_EQ(file.has_value(), c.version.has_value()) << c.body;
        if (!file) continue;
        EXPECT_EQ(file->version, *c.version) << c.body;
        EXPECT_EQ(file->address, c.address) << c.body;
    }
}

TEST(UpdateFile, OnlyAStrictlyGreaterCombinedNumberIsNewer) {
    const struct {
        const char* version;
        Version running;
        bool newer;
    } cases[] = {
        {"1.2.3", kRunning, true},         {"1.1.0", kRunning, false},
        {"1.1.1", kRunning, true},         {"1.0.999", kRunning, false},
        {"2.0.0", {1, 9, 999}, true},      {"1.9.999", {2, 0, 0}, false},
        {"1.1000.0", {2, 0, 0}, false},  // the same number as 2.0.0
        {"1.1000.1", {2, 0, 0}, true},     {"1.0.1000", kRunning, false},
        {"-1.0.0", kRunning, false},       {"2147.483.647", kRunning, true},
        {"2147.483.648", kRunning, false},  // beyond 32 bits: ignored
        {"-2148.0.0", kRunning, false},
    };
    for (const auto& c : cases) {
        const std::string body = std::string(c.version) + " http://h/";
        EXPECT_EQ(NewerUpdate(body, c.running).has_value(), c.newer)
            << c.version << " against " << VersionText(c.running);
    }
    EXPECT_EQ(VersionNumber({2147, 483, 647}), 2147483647);
    EXPECT_EQ(VersionNumber({2147, 483, 648}), std::nullopt);
    EXPECT_EQ(VersionNumber({-2147, -483, -648}), -2147483648LL);
}

TEST(UpdateFile, CheckNeedsStatus200AndABodyOfAtMost64KiB) {
    const std::string ok = "HTTP/1.1 200 OK\r\n\r\n";
    const std::string head = "9.0.0 http://h/";
    EXPECT_TRUE(CheckUpdate(ok, head, kRunning));
    EXPECT_FALSE(CheckUpdate("HTTP/1.1 404 Not Found\r\n\r\n", head, kRunning));
    EXPECT_FALSE(CheckUpdate("", head, kRunning));

    std::string full = head + std::string(kMaxUpdateBody - head.size(), 'a');
    ASSERT_EQ(full.size(), kMaxUpdateBody);
    EXPECT_TRUE(CheckUpdate(ok, full, kRunning));
    EXPECT_FALSE(CheckUpdate(ok, full + "a", kRunning));
}

TEST(UpdateFile, QuestionAndUpdaterCommandLine) {
    EXPECT_EQ(UpdateQuestion(kRunning, {1, 2, 3}),
              "Hay actualizaciones disponibles\n"
              "(Versión actual: 1.1.0 - Versión nueva: 1.2.3)\n"
              "¿Desea descargarla ahora?");
    EXPECT_EQ(VersionText({-1, 1000, 32767}), "-1.1000.32767");
    EXPECT_EQ(UpdaterCommandLine("/opt/vintrel", "http://h/v.deb\n"),
              "/opt/vintrel/upd.exe http://h/v.deb\n &");
}

}  // namespace
}  // namespace vintrel
