// Random, truncated and mutated addresses (fixed seeds) thrown at every address operation.
// Run under the sanitizers, a crash, an overrun or a hang here is a failure of its own; the
// checks below are the invariants that every answer must keep.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fakes/fake_file_types.h"
#include "fakes/fake_text_rules.h"
#include "url/address.h"

namespace {

// Pieces that make addresses interesting: scheme and authority syntax, dot segments,
// escapes whole and broken, and bytes of every kind.
const std::vector<std::string> kPieces = {"http://",   "HTTP://",
                                          "https://",  "ftp://",
                                          "Gopher://", "mailto:",
                                          "http:",     "//",
                                          "/",         "?",
                                          "#",         "@",
                                          ":",         "[",
                                          "]",         "%",
                                          "%2",        "%25",
                                          "%2F",       "%2e",
                                          "%00",       "%0D%0A",
                                          "%20",       "%41",
                                          ".",         "..",
                                          "../",       "./",
                                          " ",         "a",
                                          "Host",      "b.htm",
                                          "x.ZIP",     ":81",
                                          "::1",       ":99999",
                                          "\\",        std::string(1, '\0'),
                                          "\xAD",      "\xC3\xA9",
                                          "\t",        "\r\n"};

class RandomAddresses {
 public:
  explicit RandomAddresses(uint32_t seed) : random_(seed) {}

  size_t below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

  std::string make(size_t pieces) {
    std::string s;
    for (size_t i = 0; i < pieces; ++i) {
      if (below(4) == 0)
        s.push_back(static_cast<char>(below(256)));
      else
        s += kPieces[below(kPieces.size())];
    }
    return s;
  }

  // Truncated, with bytes changed, inserted and removed.
  std::string mutate(std::string s) {
    if (!s.empty() && below(3) == 0) s.resize(below(s.size()));
    for (size_t n = below(4); n > 0; --n) {
      size_t at = s.empty() ? 0 : below(s.size() + 1);
      switch (below(3)) {
        case 0:
          if (at < s.size()) s[at] = static_cast<char>(below(256));
          break;
        case 1:
          s.insert(at, kPieces[below(kPieces.size())]);
          break;
        default:
          if (at < s.size()) s.erase(at, 1 + below(3));
      }
    }
    return s;
  }

  std::string address() {
    std::string s = below(2) == 0 ? std::string(kPieces[below(5)]) : std::string();
    s += make(below(12));
    return below(2) == 0 ? mutate(s) : s;
  }

 private:
  std::mt19937 random_;
};

class AddressRandomTest : public ::testing::Test {
 protected:
  FakeTextRules rules;
  FakeFileTypes types;
  ByteText text{rules};
  AddressParser parser{text, types};

  static std::string joined(const UrlParts& p) {
    return p.scheme + p.user + p.password + p.host + p.port + p.folder + p.baseName + p.extension +
           p.extra;
  }

  static bool hasUpperAscii(const std::string& s) {
    for (char c : s)
      if (c >= 'A' && c <= 'Z') return true;
    return false;
  }

  // What every record from parsing must be: a fresh record, or a usable one that parses
  // back to itself from its full address (the queue database stores only that text).
  void checkParsed(const UrlParts& p, const std::string& input) {
    SCOPED_TRACE(::testing::PrintToString(input));
    if (!isUsable(p)) {
      ASSERT_EQ(joined(p), "");
      ASSERT_EQ(p.fullAddress, "");
      ASSERT_EQ(p.iconIndex, -1);
      return;
    }
    ASSERT_TRUE(p.scheme == "http://" || p.scheme == "https://" || p.scheme == "ftp://" ||
                p.scheme == "gopher://");
    ASSERT_FALSE(p.host.empty());
    ASSERT_FALSE(hasUpperAscii(p.host));
    ASSERT_TRUE(p.folder.starts_with('/') && p.folder.ends_with('/'));
    ASSERT_EQ(p.baseName.find('/'), std::string::npos);
    ASSERT_TRUE(p.extension.empty() || (p.extension.size() > 1 && p.extension.rfind('.') == 0));
    ASSERT_TRUE(p.extra.empty() || p.extra[0] == '?' || p.extra[0] == '#');
    ASSERT_NE(p.port, ":");
    ASSERT_EQ(p.fullAddress, joined(p));
    for (unsigned char c : p.fullAddress) ASSERT_TRUE(c >= 0x20 && c != 0x7F) << int(c);
    ASSERT_FALSE(p.typeName.empty());
    ASSERT_FALSE(p.displayName.starts_with(' ') || p.displayName.ends_with(' '));
    UrlParts again = parser.parseAddress(p.fullAddress);
    ASSERT_EQ(joined(again), joined(p));
  }

  void checkCanonical(const std::string& input) {
    std::string canonical = canonicalizeAddress(input);
    SCOPED_TRACE(::testing::PrintToString(input));
    for (unsigned char c : canonical) ASSERT_TRUE(c >= 0x21 && c < 0x7F) << int(c);
    if (!canonical.empty()) {
      ASSERT_EQ(canonicalizeAddress(canonical), canonical);
    }
  }

  void checkCracked(const std::string& input) {
    CrackedAddress c = crackAddress(input);
    SCOPED_TRACE(::testing::PrintToString(input));
    size_t total = c.scheme.size() + c.user.size() + c.password.size() + c.host.size() +
                   c.portText.size() + c.path.size() + c.extra.size();
    ASSERT_LE(total, input.size());
    if (c.scheme.empty()) {
      ASSERT_EQ(total, 0u);
    }
    if (!c.host.empty()) {
      ASSERT_TRUE(c.path.empty() || c.path[0] == '/');
    }
    ASSERT_TRUE(c.extra.empty() || c.extra[0] == '?' || c.extra[0] == '#');
    ASSERT_TRUE(c.portText.empty() || c.portText[0] == ':');
  }

  void checkAll(const std::string& input, const UrlParts& page) {
    ASSERT_NO_FATAL_FAILURE(checkCracked(input));
    ASSERT_NO_FATAL_FAILURE(checkParsed(parser.parseAddress(input), input));
    ASSERT_NO_FATAL_FAILURE(checkParsed(parser.parseTypedAddress(input), input));
    ASSERT_NO_FATAL_FAILURE(checkCanonical(input));

    std::string combined = combineAddress(page.fullAddress, input);
    ASSERT_EQ(combined.find('\0'), std::string::npos);
    UrlParts link = parser.resolveLink(input, page);
    SCOPED_TRACE("link " + ::testing::PrintToString(input) + " on " +
                 ::testing::PrintToString(page.fullAddress));
    if (isUsable(link)) {
      // Only a dropped bare fragment may make the full address longer than its parts.
      ASSERT_FALSE(link.extra.starts_with('#'));
      std::string parts = joined(link);
      ASSERT_TRUE(link.fullAddress.starts_with(parts));
      std::string rest = link.fullAddress.substr(parts.size());
      ASSERT_TRUE(rest.empty() || (rest[0] == '#' && link.extra.empty()));
    }
  }
};

TEST_F(AddressRandomTest, ShortAddressesKeepEveryInvariant) {
  RandomAddresses random(20261208);
  std::vector<UrlParts> pages = {parser.parseAddress("http://h/a/b/c.htm?q"),
                                 parser.parseAddress("http://h/dir"), UrlParts{}};
  for (int i = 0; i < 10000; ++i) {
    std::string input = random.address();
    ASSERT_NO_FATAL_FAILURE(checkAll(input, pages[random.below(pages.size())]));
    UrlParts page = parser.parseAddress(input);
    if (isUsable(page)) pages[random.below(pages.size())] = page;
    if (i % 1000 == 0) pages.back() = UrlParts{};
  }
}

TEST_F(AddressRandomTest, AddressesMadeOfAddressCharactersOnlyKeepEveryInvariant) {
  // Syntax characters only, so that long authorities, ports and bracket hosts come up.
  RandomAddresses random(7);
  const std::string alphabet = "hH:/@[]?#%.1a2F5 ";
  UrlParts page = parser.parseAddress("ftp://u:p@h:21/x/y/");
  for (int i = 0; i < 10000; ++i) {
    std::string input = "http://";
    for (size_t n = random.below(24); n > 0; --n) input += alphabet[random.below(alphabet.size())];
    ASSERT_NO_FATAL_FAILURE(checkAll(input, page));
  }
}

TEST_F(AddressRandomTest, VeryLongAddressesAreHandledInLinearTime) {
  RandomAddresses random(99);
  UrlParts page = parser.parseAddress("http://h/a/b/");
  std::vector<std::string> inputs = {
      "http://h/" + std::string(200000, '%'),
      "http://h/" +
          [] {
            std::string s;
            for (int i = 0; i < 50000; ++i) s += "../";
            return s;
          }(),
      [] {
        std::string s = "http://h/";
        for (int i = 0; i < 40000; ++i) s += "a/";
        for (int i = 0; i < 40000; ++i) s += "../";
        return s;
      }(),
      "http://" + std::string(100000, '@') + "h/",
      "http://[" + std::string(100000, ':'),
      "http://h:" + std::string(100000, '0') + "/",
      std::string(300000, '/'),
      [] {
        std::string s = "http://h/%";
        for (int i = 0; i < 60000; ++i) s += "25";
        return s + "2F";
      }(),
  };
  for (int i = 0; i < 6; ++i) inputs.push_back(random.make(20000));
  for (const std::string& input : inputs) ASSERT_NO_FATAL_FAILURE(checkAll(input, page));
}

TEST_F(AddressRandomTest, EveryByteValueInEveryPlaceOfAnAddress) {
  const std::string base = "http://u:p@h:8/d/f.e?q#f";
  UrlParts page = parser.parseAddress("http://h/d/");
  for (size_t at = 0; at <= base.size(); ++at) {
    for (int byte = 0; byte < 256; ++byte) {
      std::string inserted = base;
      inserted.insert(at, 1, static_cast<char>(byte));
      ASSERT_NO_FATAL_FAILURE(checkAll(inserted, page));
      if (at < base.size()) {
        std::string replaced = base;
        replaced[at] = static_cast<char>(byte);
        ASSERT_NO_FATAL_FAILURE(checkAll(replaced, page));
      }
    }
  }
}

}  // namespace
