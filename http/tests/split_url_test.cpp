#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/heap.h"
#include "base/tests/runtime_fixture.h"
#include "http/split_url.h"

namespace {

struct SplitCase {
  const char* url;
  const char* host;  // null: absent
  const char* port;
  const char* path;
};

const SplitCase split_cases[] = {
    {"http://host", "host", nullptr, nullptr},
    {"http://host/", "host", nullptr, nullptr},
    {"http://host:8080/dir/file.zip?x=1#top", "host", "8080", "dir/file.zip?x=1#top"},
    {"http://user:pw@host:81/p", "host", "81", "p"},
    {"http://user@host/p", "host", nullptr, "p"},
    {"http://a@b@host/p", "host", nullptr, "p"},  // the user information ends at the last "@"
    // A ":" or "@" in the path has no say in host or port.
    {"http://host/wiki/File:a.png", "host", nullptr, "wiki/File:a.png"},
    {"http://host:81/wiki/File:a.png", "host", "81", "wiki/File:a.png"},
    {"http://host/a@evil/x", "host", nullptr, "a@evil/x"},
    {"http://host?q=a:b@c", "host", nullptr, "?q=a:b@c"},
    {"http://host#x:1", "host", nullptr, "#x:1"},
    {"http://host:8080?q=1", "host", "8080", "?q=1"},
    {"http://host:/x", "host", nullptr, "x"},
    {"http://host//x", "host", nullptr, "/x"},
    {"ftp://host/x", "host", nullptr, "x"},  // the scheme is not examined
    {"http://:80/x", nullptr, "80", "x"},
    {"http://@/x", nullptr, nullptr, "x"},
    {"http:///x", nullptr, nullptr, "x"},
    {"host/path", nullptr, nullptr, nullptr},
    {"", nullptr, nullptr, nullptr},
};

std::string shown(const char* text) { return text ? text : "(absent)"; }

TEST(SplitHttpUrl, TableOfParts) {
  for (const SplitCase& c : split_cases) {
    const struct {
      int32_t part;
      const char* expected;
    } parts[] = {{URL_HOST, c.host}, {URL_PORT, c.port}, {URL_PATH, c.path}};
    for (const auto& p : parts) {
      char* copy = split_http_url(c.url, p.part);
      EXPECT_EQ(shown(copy), shown(p.expected)) << c.url << " part " << p.part;
      free_memory(copy);
    }
  }
}

TEST(SplitHttpUrl, OtherSelectorsAndAbsentUrlGiveNull) {
  for (int32_t part : {-1, 2, 4}) EXPECT_EQ(split_http_url("http://h:1/p", part), nullptr) << part;
  EXPECT_EQ(split_http_url(nullptr, URL_HOST), nullptr);
}

TEST(HttpPortNumber, OnlyDecimalFrom1To65535) {
  EXPECT_EQ(http_port_number(std::nullopt), 80);
  const struct {
    const char* text;
    uint16_t port;
  } cases[] = {{"80", 80},   {"8080", 8080}, {"1", 1},    {"65535", 65535}, {"00081", 81},
               {"0", 0},     {"65536", 0},   {"65616", 0}, {"-1", 0},       {"+80", 0},
               {"80a", 0},   {" 80", 0},     {"", 0},     {"123456", 0},    {"99999999999", 0}};
  for (const auto& c : cases) EXPECT_EQ(http_port_number(std::string_view(c.text)), c.port) << c.text;
}

TEST(HasControlBytes, BelowSpaceAndDelete) {
  for (const char* text : {"a\rb", "a\nb", "\t", "x\x7f", "\x01"}) EXPECT_TRUE(has_control_bytes(text)) << text;
  for (const char* text : {"", "host", "a b", "caf\xE9", "~"}) EXPECT_FALSE(has_control_bytes(text)) << text;
  EXPECT_TRUE(has_control_bytes(std::string_view("a\0b", 3)));
}

}  // namespace

namespace {

TEST(UrlScheme, HttpOrHttpsInAnyCaseAfterBlanks) {
  const struct {
    const char* url;
    UrlScheme scheme;
  } cases[] = {
      {"http://h/x", UrlScheme::HTTP},       {"HtTp://h/x", UrlScheme::HTTP},
      {" \thttp://h/x", UrlScheme::HTTP},    {"h/x", UrlScheme::HTTP},
      {"h:80/x", UrlScheme::HTTP},           {"https://h/x", UrlScheme::HTTPS},
      {"HTTPS://h/x", UrlScheme::HTTPS},     {" \tHttpS://h/x", UrlScheme::HTTPS},
      {"ftp://h/x", UrlScheme::REFUSED},     {"://h/x", UrlScheme::REFUSED},
      {"http ://h/x", UrlScheme::REFUSED},   {"xhttp://h/x", UrlScheme::REFUSED},
      {"httpss://h/x", UrlScheme::REFUSED},  {"https ://h/x", UrlScheme::REFUSED},
      {"shttp://h/x", UrlScheme::REFUSED},
      {"http:/h/x?u=https://y", UrlScheme::REFUSED},  // the first "://" decides, wherever it stands
      {"https:/h/x?u=http://y", UrlScheme::REFUSED},
  };
  for (const auto& c : cases) EXPECT_EQ(url_scheme(c.url), c.scheme) << c.url;
  EXPECT_EQ(default_port(UrlScheme::HTTP), 80);
  EXPECT_EQ(default_port(UrlScheme::HTTPS), 443);
  EXPECT_EQ(http_port_number(std::nullopt, 443), 443);
  EXPECT_EQ(http_port_number(std::string_view("80"), 443), 80);
}

}  // namespace

namespace {

// Browse reads the path as the request does: the authority ends at the
// first "/", "?" or "#", and only a "/" there opens a path.
TEST(FindFilePathPart, FollowsTheRequestsReading) {
  const struct {
    const char* url;
    const char* part;
  } cases[] = {
      {"http://host:8080/files/a.zip?x=1", "files/a.zip"},
      {"http://host/a.zip#top", "a.zip#top"},
      {"http://h?x=1/y", ""},
      {"http://h#frag/y", ""},
      {"http://h", ""},
      {"http://h/", ""},
      {"http://u@h/a/b", "a/b"},
      {"no scheme/a", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(find_file_path_part(c.url), c.part) << c.url;
}

}  // namespace
