#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/url_reference.h"

namespace {

struct Resolved {
  UrlWriteResult result;
  std::string url;
};

Resolved resolve(std::string_view base, std::string_view reference) {
  std::vector<char> out(resolved_size_bound(base, reference));
  const UrlWrite written = resolve_reference(base, reference, out);
  return {written.result, std::string(out.data(), written.result == UrlWriteResult::WRITTEN ? written.length : 0)};
}

// RFC 3986, 5.4: every example, normal and abnormal, against its base. The
// fragment is never written, and a host alone gets the path "/".
TEST(UrlReference, ResolvesTheExamplesOfTheStandard) {
  const char* base = "http://a/b/c/d;p?q";
  const struct {
    const char* reference;
    const char* target;
  } cases[] = {
      {"g", "http://a/b/c/g"},          {"./g", "http://a/b/c/g"},         {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},             {"//g", "http://g/"},              {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},      {"#s", "http://a/b/c/d;p?q"},      {"g#s", "http://a/b/c/g"},
      {"g?y#s", "http://a/b/c/g?y"},    {";x", "http://a/b/c/;x"},         {"g;x", "http://a/b/c/g;x"},
      {"g;x?y#s", "http://a/b/c/g;x?y"}, {"", "http://a/b/c/d;p?q"},       {".", "http://a/b/c/"},
      {"./", "http://a/b/c/"},          {"..", "http://a/b/"},             {"../", "http://a/b/"},
      {"../g", "http://a/b/g"},         {"../..", "http://a/"},            {"../../", "http://a/"},
      {"../../g", "http://a/g"},        {"../../../g", "http://a/g"},      {"../../../../g", "http://a/g"},
      {"/./g", "http://a/g"},           {"/../g", "http://a/g"},           {"g.", "http://a/b/c/g."},
      {".g", "http://a/b/c/.g"},        {"g..", "http://a/b/c/g.."},       {"..g", "http://a/b/c/..g"},
      {"./../g", "http://a/b/g"},       {"./g/.", "http://a/b/c/g/"},      {"g/./h", "http://a/b/c/g/h"},
      {"g/../h", "http://a/b/c/h"},     {"g;x=1/./y", "http://a/b/c/g;x=1/y"}, {"g;x=1/../y", "http://a/b/c/y"},
      {"g?y/./x", "http://a/b/c/g?y/./x"}, {"g?y/../x", "http://a/b/c/g?y/../x"}, {"g#s/./x", "http://a/b/c/g"},
      {"g#s/../x", "http://a/b/c/g"},
      {"HTTPS://Example.org:8443/x/../y?z", "https://Example.org:8443/y?z"},
  };
  for (const auto& c : cases) {
    const Resolved got = resolve(base, c.reference);
    EXPECT_EQ(got.result, UrlWriteResult::WRITTEN) << c.reference;
    EXPECT_EQ(got.url, c.target) << c.reference;
  }
}

// What a request line cannot carry raw is escaped in the path and query; an
// escape already there stays one (never "%2520"); user information is
// dropped; a typed URL, resolved against itself, reads the same way.
TEST(UrlReference, WritesWhatARequestLineCanCarry) {
  const struct {
    const char* base;
    const char* reference;
    const char* target;
  } cases[] = {
      {"http://h/dir/", "my file.zip", "http://h/dir/my%20file.zip"},
      {"http://h/", "/a%20b?q=%7e", "http://h/a%20b?q=%7e"},
      {"http://h/", "/caf\xc3\xa9?x=\xff", "http://h/caf%C3%A9?x=%FF"},
      {"http://h/", "/100%?x=%g1%4", "http://h/100%25?x=%25g1%254"},
      {"http://h/", "//user:secret@other:81/x", "http://other:81/x"},
      {"http://h/a b?c d#e f", "http://h/a b?c d#e f", "http://h/a%20b?c%20d"},
      {"http://user@h:8080", "http://user@h:8080", "http://h:8080/"},
      {"http://h?x=1/y", "http://h?x=1/y", "http://h/?x=1/y"},
  };
  for (const auto& c : cases) {
    const Resolved got = resolve(c.base, c.reference);
    EXPECT_EQ(got.result, UrlWriteResult::WRITTEN) << c.reference;
    EXPECT_EQ(got.url, c.target) << c.reference;
  }
}

TEST(UrlReference, RefusesWhatCannotBeFetched) {
  const struct {
    const char* base;
    const char* reference;
    UrlWriteResult result;
  } cases[] = {
      {"http://h/", "/a\r\nX: y", UrlWriteResult::CONTROL_BYTE},
      {"http://h/", "/a\tb", UrlWriteResult::CONTROL_BYTE},
      {"http://h/", "/a\x7f", UrlWriteResult::CONTROL_BYTE},
      {"http://h/", "//bad host/x", UrlWriteResult::BAD_HOST},
      {"http://h/", "//h\xc3\xa9st/x", UrlWriteResult::BAD_HOST},
      {"http://h/", "//:80/x", UrlWriteResult::BAD_HOST},
      {"http://h/", "mailto:someone@example.org", UrlWriteResult::NO_AUTHORITY},
      {"http://h/", "http:g", UrlWriteResult::NO_AUTHORITY},
      {"relative/base", "//h/x", UrlWriteResult::NO_AUTHORITY},
  };
  for (const auto& c : cases) EXPECT_EQ(resolve(c.base, c.reference).result, c.result) << c.reference;

  char small[8];
  EXPECT_EQ(resolve_reference("http://h/", "x", small).result, UrlWriteResult::NO_ROOM);
}

TEST(UrlReference, SplitsIntoItsFiveParts) {
  const UrlReference whole = split_reference("https://u@h:1/p/q?a=b?c#f#g");
  EXPECT_EQ(whole.scheme, "https");
  EXPECT_EQ(whole.authority, "u@h:1");
  EXPECT_EQ(authority_server(whole.authority), "h:1");
  EXPECT_EQ(whole.path, "/p/q");
  EXPECT_EQ(whole.query, "a=b?c");
  EXPECT_EQ(whole.fragment, "f#g");
  const UrlReference relative = split_reference("c:d/e");  // "c" is a scheme
  EXPECT_TRUE(relative.has_scheme);
  EXPECT_EQ(relative.path, "d/e");
  const UrlReference colon_later = split_reference("./c:d");
  EXPECT_FALSE(colon_later.has_scheme);
  EXPECT_EQ(colon_later.path, "./c:d");
}

}  // namespace
