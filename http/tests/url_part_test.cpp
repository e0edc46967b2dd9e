#include <gtest/gtest.h>

#include <string>

#include "base/tests/runtime_fixture.h"
#include "http/url_part.h"

namespace {

struct PartCase {
  const char* url;
  const char* key;
  const char* expected;
};

// Its rules are its own: every search runs over the whole rest of the URL,
// so a ":" or "@" in the path counts, and the path stops at the query.
TEST(ExtractUrlPart, KeysAndParameters) {
  const PartCase cases[] = {
      {"http://host/dir/file.zip?x=1", "/PT/", "dir/file.zip"},
      {"http://host/dir/file.zip#top", "/PT/", "dir/file.zip#top"},
      {"http://host", "/PT/", ""},
      {"http://host/", "/PT/", ""},
      {"host/dir/file.zip", "/PT/", ""},
      {"http://user:pw@host:81/p", "/WS/", "host"},
      {"http://user:pw@host:81/p", "/US/", "user"},
      {"http://user:pw@host:81/p", "/PS/", "pw"},
      {"http://user:pw@host:81/p", "/PO/", "81"},
      {"http://user@host/p", "/US/", "user"},
      {"http://user@host/p", "/PS/", ""},
      {"http://host/p", "/US/", ""},
      {"http://host/p", "/PS/", ""},
      {"http://host/p", "/PO/", ""},
      {"http://host:8080", "/PO/", "8080"},
      {"http://host", "/WS/", "host"},
      {"http://host/wiki/File:a.png", "/WS/", "host/wiki/File"},  // a ":" in the path ends the host
      {"http://host/wiki/File:a.png", "/PO/", "a.png"},
      {"http://host/a@b/c", "/WS/", "b"},
      {"nothing", "/WS/", ""},
      {"http://host/p?a=1&b=2#top", "/PM/", "a=1&b=2"},
      {"http://host/p?a=1", "/PM/", "a=1"},
      {"http://host/p#top", "/PM/", ""},
      {"http://host/p?a=1#top", "/AN/", "top"},
      {"http://host/p", "/AN/", ""},
      {"http://host/p?a=1&b=2#top", "a", "1"},
      {"http://host/p?a=1&b=2#top", "b", "2"},
      {"http://host/p?a=1&b=2#top", "B", "2"},
      {"http://host/p?ab=1", "a", ""},
      {"http://host/p?a=1#x&b=2", "a", "1#x"},  // a value up to "&" keeps its "#"
      {"http://host/p?flag&a=1", "flag&a", "1"},  // no "=": the front of the next name
      {"http://host/p?flag&a=1", "a", ""},
      {"http://host/p?a=", "a", ""},
      {"http://host/p", "a", ""},
      {"http://host/dir/file?x=1", "/pt/", ""},  // not the path key: a parameter name
      {"http://host/dir/file?/pt/=v", "/pt/", "v"},
  };
  for (const PartCase& c : cases) {
    EXPECT_EQ(std::string(extract_url_part(c.url, c.key)), c.expected) << c.url << " " << c.key;
  }
}

TEST(ExtractUrlPart, AbsentArgumentsGiveTheEmptyText) {
  const char* absent = nullptr;
  EXPECT_TRUE(extract_url_part(absent, "/WS/").empty());
  EXPECT_TRUE(extract_url_part("http://host/p", absent).empty());
  EXPECT_TRUE(extract_url_part(absent, absent).empty());
}

}  // namespace
