#include "engine/mail_address.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/engine_test_support.h"

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

TEST(Addresses, MailboxesAsRfc5321WritesThem) {
  const std::string local64 = Repeat('l', 64);
  const std::string label63 = Repeat('d', 63);
  // 254 octets in all: 1 + "@" + 252 of domain (labels of 63 joined by dots, then "jp").
  const std::string domain252 = label63 + "." + label63 + "." + label63 + "." + Repeat('e', 57) + ".jp";
  struct Case {
    std::string address;
    bool usable;
  } cases[] = {
      // Dot-atoms of every atext mark.
      {"yamada@example.jp", true},
      {"first.last+tag@example.co.jp", true},
      {"o'brien@example.com", true},
      {"!#$%&'*+-/=?^_`{|}~@example.com", true},
      {"user@localhost", true},
      {"user@a-b.example", true},
      {"u@xn--eckwd4c7c.xn--zckzah", true},  // an IDN in its ASCII form
      {".yamada@example.jp", false},
      {"yamada.@example.jp", false},
      {"ya..mada@example.jp", false},
      // Quoted strings: spaces, "@" and backslash pairs inside; nothing unprintable.
      {"\"john doe\"@example.com", true},
      {"\"a@b\"@example.com", true},
      {"\"quote\\\"inside\"@example.com", true},
      {"\"\"@example.com", true},
      {"\"unterminated@example.com", false},
      {"\"a\"b@example.com", false},
      {"\"tab\there\"@example.com", false},
      {"\"line\r\nend\"@example.com", false},
      // Domains: letters, digits, inner hyphens, dots between labels.
      {"yamada@example..jp", false},
      {"yamada@.example.jp", false},
      {"yamada@example.jp.", false},
      {"yamada@-example.jp", false},
      {"yamada@example-.jp", false},
      {"yamada@exa_mple.jp", false},
      {"yamada@", false},
      {"@example.jp", false},
      {"yamada.example.jp", false},
      {"", false},
      // Address literals: IPv4 and IPv6 only.
      {"user@[192.0.2.1]", true},
      {"user@[IPv6:2001:db8::1]", true},
      {"user@[ipv6:2001:db8:0:0:0:0:0:1]", true},
      {"user@[IPv6:::1]", true},
      {"user@[IPv6:::ffff:192.0.2.1]", true},
      {"user@[IPv6:1:2:3:4:5:6:192.0.2.1]", true},
      {"user@[192.0.2.256]", false},
      {"user@[192.0.2]", false},
      {"user@[192.0.2.1", false},
      {"user@[IPv6:2001:db8::1::2]", false},
      {"user@[IPv6:1:2:3:4:5:6:7:8:9]", false},
      {"user@[IPv6:1:2:3:4:5:6:7::]", false},  // at most six groups beside "::"
      {"user@[IPv6:12345::1]", false},
      {"user@[x-tag:anything]", false},         // general literal: no such registered tag
      // What users paste: links, lists, display names, angle brackets.
      {"mailto:ito@example.com", false},
      {"kato@example.com;kato2@example.com", false},
      {"kato@example.com,kato2@example.com", false},
      {"<yamada@example.jp>", false},
      {"Yamada <yamada@example.jp>", false},
      {"yamada@example.jp@example.net", false},
      // Spaces, control characters and 8-bit bytes outside quotes.
      {"ya mada@example.jp", false},
      {"yamada@example.jp\t", false},
      {"yamada@example.jp\r\nBcc: x@example.net", false},
      {"yamada@example.jp\x7F", false},
      {S("suzuki@example.com\xE3\x80\x80"), false},  // an ideographic space typed in Japanese mode
      {S("山田@example.jp"), false},
      {S("user@例え.jp"), false},
      {"user@ex\xE4mple.com", false},
      {"yamada\x81\x40" "example.jp", false},  // 0x40 only as the second byte of a character
      // Lengths: local part 64, label 63, whole address 254.
      {local64 + "@example.jp", true},
      {local64 + "x@example.jp", false},
      {"\"" + Repeat('q', 62) + "\"@example.jp", true},
      {"\"" + Repeat('q', 63) + "\"@example.jp", false},
      {"u@" + label63 + ".jp", true},
      {"u@" + label63 + "d.jp", false},
      {"u@" + domain252, true},
      {"uu@" + domain252, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsUsableAddress(c.address.c_str()), c.usable) << c.address;
  EXPECT_EQ(("u@" + domain252).size(), 254u);
}

TEST(Addresses, DomainIsWhatFollowsTheLocalPart) {
  struct Case {
    const char* address;
    const char* domain;
  } cases[] = {
      {"sales@example.com", "example.com"},
      {"\"a@b\"@example.co.jp", "example.co.jp"},
      {"x@[IPv6:2001:db8::1]", "[IPv6:2001:db8::1]"},
  };
  for (const Case& c : cases) EXPECT_STREQ(MailboxDomain(c.address), c.domain) << c.address;
  EXPECT_EQ(MailboxDomain("no address"), nullptr);
  EXPECT_EQ(MailboxDomain(nullptr), nullptr);
}

TEST(Addresses, CellsLoseTheSpacesTabsAndIdeographicSpacesAroundThem) {
  struct Case {
    std::string cell;
    std::string trimmed;
  } cases[] = {
      {"  a@example.jp  ", "a@example.jp"},
      {"\ta@example.jp\t", "a@example.jp"},
      {S("　a@example.jp　"), "a@example.jp"},
      {S("　 \ta@example.jp \t　　"), "a@example.jp"},
      {"a b@example.jp ", "a b@example.jp"},     // only what is around
      {S("　"), ""},
      {"", ""},
      // Ends with 0x81 0x40, but 0x81 is the second byte of "メ" (0x83 0x81): nothing goes.
      {"x\x83\x81\x40", "x\x83\x81\x40"},
      {S("メ　"), S("メ")},
  };
  for (const Case& c : cases) {
    char text[256];
    std::strcpy(text, c.cell.c_str());
    EXPECT_EQ(std::string(TrimAddress(text)), c.trimmed) << U(c.cell);
  }
}

}  // namespace
