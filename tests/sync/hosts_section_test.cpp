#include "sync/hosts_section.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvane {
namespace {

using namespace std::string_literals;

const DomainList kTwo = {{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}};
constexpr std::string_view kServiceHost = "dns.kalvane.example";
const std::string kTwoSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  HostsLineReader reader(bytes);
  while (auto line = reader.Next()) lines.push_back(std::string(line->text) + "|" += line->end);
  return lines;
}

TEST(HostsLineReader, EndsLinesAtCrLfLoneLfOrLoneCrAsWindowsReadsThem) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a\r\nb\r\n"), (V{"a|\r\n", "b|\r\n"}));
  EXPECT_EQ(Lines("a\r\nb"), (V{"a|\r\n", "b|"}));
  EXPECT_EQ(Lines("a\rb\r"), (V{"a|\r", "b|\r"}));
  EXPECT_EQ(Lines("a\nb\r\nc\n"), (V{"a|\n", "b|\r\n", "c|\n"}));
  EXPECT_EQ(Lines("a\r\r\n\r\nb"), (V{"a|\r", "|\r\n", "|\r\n", "b|"}));
  EXPECT_EQ(Lines("\n\r\r\n"), (V{"|\n", "|\r", "|\r\n"}));
}

// The hosts file is shared: a hosts content, with or without a record of the rows we wrote, and
// what a write of kTwo and the clean-up at exit make of it.
TEST(HostsSection, KeepsEveryLineThatIsNotOurs) {
  const SectionRows ours = {"10.0.0.1 host1", "10.0.0.2 host2"};
  struct Case {
    const char* what;
    std::string hosts;
    const SectionRows* record;
    std::string written;  // the user's part before kTwoSection
    std::string cleaned;
  };
  const std::vector<Case> cases = {
      {"no marker: every line, its own line end", "a\r\nb\nc\rd", nullptr, "a\r\nb\nc\rd\r\n",
       "a\r\nb\nc\rd\r\n"},
      {"only line ends", "\r\n\n\r", nullptr, "\r\n\n\r", "\r\n\n\r"},
      {"LF alone ends the line before the marker", "a\n#BEGIN\n1.1.1.1 old\n", nullptr, "a\n",
       "a\n"},
      {"a lone CR right before the marker", "a\r#BEGIN\r\n", nullptr, "a\r", "a\r"},
      {"mixed ends, no record: the section runs to the end",
       "a\r\nb\n#BEGIN\r10.0.0.1 host1\nmine\r\n", nullptr, "a\r\nb\n", "a\r\nb\n"},
      {"a line appended after our rows", "a\r\n" + kTwoSection + "9.9.9.9 mine", &ours,
       "a\r\n9.9.9.9 mine\r\n", "a\r\n9.9.9.9 mine\r\n"},
      {"lines between our rows, a comment, LF ends",
       "#BEGIN\n10.0.0.1 host1\n# note\n8.8.8.8 x\r10.0.0.2 host2\n", &ours, "# note\n8.8.8.8 x\r",
       "# note\n8.8.8.8 x\r"},
      {"a copy of our row beyond the one we wrote is the user's",
       "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n", &ours,
       "10.0.0.1 host1\r\n", "10.0.0.1 host1\r\n"},
      {"a stale row of another list", "u\r\n#BEGIN\r\n10.0.0.3 old\r\n10.0.0.1 host1\r\n", &ours,
       "u\r\n10.0.0.3 old\r\n", "u\r\n10.0.0.3 old\r\n"},
      {"a second marker goes, the line below it stays",
       "#BEGIN\r\n10.0.0.1 host1\r\n#BEGIN\r\nz\r\n", &ours, "z\r\n", "z\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComposeHostsWithSection(c.hosts, kTwo, kServiceHost, c.record),
              c.written + kTwoSection)
        << c.what;
    EXPECT_EQ(ComposeUserLines(c.hosts, c.record), c.cleaned) << c.what;
    // Once moved up, the lines stay where they are: writing again changes nothing.
    const std::string again = c.written + kTwoSection;
    EXPECT_EQ(ComposeHostsWithSection(again, kTwo, kServiceHost, &ours), again) << c.what;
  }
}

TEST(HostsSection, SplitsTheSectionInLinearTimeAndTellsWhetherOurRowsStandAsWritten) {
  SectionRows rows;
  std::string hosts = "#BEGIN\r\n";
  for (int i = 0; i < 100'000; ++i) {
    rows.push_back("10.0." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + " h" +
                   std::to_string(i));
    hosts += rows.back() + "\r\n";
    if (i == 50'000) hosts += "7.7.7.7 mine\n";
  }
  const HostsParts parts = SplitHosts(hosts, &rows);
  EXPECT_TRUE(parts.has_section && parts.rows_as_written);
  EXPECT_EQ(parts.foreign, std::vector<std::string_view>{"7.7.7.7 mine\n"});

  const SectionRows ours = {"10.0.0.1 host1", "10.0.0.2 host2"};
  const HostsParts swapped = SplitHosts("#BEGIN\n10.0.0.2 host2\n10.0.0.1 host1", &ours);
  EXPECT_FALSE(swapped.rows_as_written);
  EXPECT_TRUE(swapped.foreign.empty());
  const HostsParts short_one = SplitHosts("#BEGIN\n10.0.0.1 host1\nx\n", &ours);
  EXPECT_EQ(short_one.missing_rows, 1u);
  EXPECT_FALSE(short_one.rows_as_written);
  EXPECT_FALSE(SplitHosts("a\n", &ours).has_section);
}

// The working copy is a record of our rows only when it is whole as we write it.
TEST(HostsSection, ReadsOurRowsBackOnlyFromAnIntactWorkingCopy) {
  const SectionRows two = {"10.0.0.1 host1", "10.0.0.2 host2"};
  EXPECT_EQ(RowsOfWorkingCopy("a\n" + kTwoSection), two);
  for (const std::string copy :
       {"", "a\r\n", "#BEGIN\r\n", "#BEGIN\r\n10.0.0.1 host1", "#BEGIN\r\n10.0.0.1 host1\n",
        "#BEGIN\n10.0.0.1 host1\r\n", "#BEGIN\r\n\r\n10.0.0.1 host1\r\n",
        "#BEGIN\r\n10.0.0.1 host1\r\n#BEGIN\r\n"}) {
    EXPECT_EQ(RowsOfWorkingCopy(copy), std::nullopt) << copy;
  }
}

TEST(HostsSection, KeepsTheUserLinesAboveTheFirstMarkerAndAppendsTheSection) {
  // No marker: every line stays, the section follows the last one, which gets its CR LF.
  EXPECT_EQ(ComposeHostsWithSection("127.0.0.1 localhost\r\n::1 localhost", kTwo, kServiceHost),
            "127.0.0.1 localhost\r\n::1 localhost\r\n" + kTwoSection);
  // An empty hosts file becomes the marker and the two mapping lines.
  EXPECT_EQ(ComposeHostsWithSection("", kTwo, kServiceHost), kTwoSection);
  // Only the exact line is a marker.
  EXPECT_EQ(
      ComposeHostsWithSection(" #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n", kTwo, kServiceHost),
      " #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n" + kTwoSection);
  // Bytes are carried over as they are: a UTF-8 BOM stays first, ANSI text stays unchanged.
  EXPECT_EQ(ComposeHostsWithSection("\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n", kTwo,
                                    kServiceHost),
            "\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n" + kTwoSection);
  // IPv6 rows are written as they come, a zone index included.
  EXPECT_EQ(
      ComposeHostsWithSection("", {{"host6", "2001:db8::1"}, {"link", "fe80::1%4"}}, kServiceHost),
      "#BEGIN\r\n2001:db8::1 host6\r\nfe80::1%4 link\r\n");
  // A non-empty list whose mappings are all refused still gets its marker.
  EXPECT_EQ(ComposeHostsWithSection("a", {{"bad\n", "1.1.1.1"}}, kServiceHost), "a\r\n#BEGIN\r\n");
}

TEST(HostsSection, UserLinesAloneCutTheSectionOut) {
  EXPECT_TRUE(HasSection("a\r\n#BEGIN\r\n"));
  EXPECT_TRUE(HasSection("#BEGIN"));
  EXPECT_TRUE(HasSection("x\n#BEGIN\n"));
  EXPECT_FALSE(HasSection("a\r\n #BEGIN\r\n#begin\r\nx#BEGIN\r\n"));
  EXPECT_FALSE(HasSection(""));
  EXPECT_EQ(ComposeUserLines("a\r\n#BEGIN\r\n10.0.0.1 host1\r\n"), "a\r\n");
  EXPECT_EQ(ComposeUserLines("#BEGIN\r\n10.0.0.1 host1\r\n"), "");
}

TEST(HostsSection, LeavesOutMappingsThatHoldControlCharacters) {
  const DomainList list = {
      {"good", "10.0.0.1"},
      {"evil\r\n6.6.6.6 bank.example", "10.0.0.2"},
      {"tab\there", "10.0.0.3\t"},
      {"lf", "10.0.0.4\n"},
      {"nul"s + '\0', "10.0.0.5"},
      {"del\x7F", "10.0.0.6"},
      {"unit\x1F", "10.0.0.7"},
      {"spaced host", " 10.0.0.8"},
      {"\xC4\xE3.example", "10.0.0.9"},
  };
  // A TAB parts fields as a space does: written as it came.
  EXPECT_EQ(ComposeHostsWithSection("", list, kServiceHost),
            "#BEGIN\r\n10.0.0.1 good\r\n10.0.0.3\t tab\there\r\n 10.0.0.8 spaced host\r\n"
            "10.0.0.9 \xC4\xE3.example\r\n");
  EXPECT_FALSE(IsWritableMapping({"h", "\x01"}, kServiceHost));
  EXPECT_FALSE(IsWritableMapping({"h\v", "1.1.1.1"}, kServiceHost));
  EXPECT_TRUE(IsWritableMapping({"h ~", "\x80\xFF"}, kServiceHost));
  EXPECT_TRUE(IsWritableMapping({"h\tx", "1.1.1.1"}, kServiceHost));
}

// A row that names the service's own host sends every later request, and so every later answer,
// to whoever wrote it: in whichever field, letter case, with a trailing dot, or as an alias after
// a space or a TAB.
TEST(HostsSection, NeverWritesARowThatNamesTheServiceHost) {
  const DomainList list = {
      {"host1", "10.0.0.1"},
      {"dns.kalvane.example", "6.6.6.1"},
      {"DNS.Kalvane.EXAMPLE", "6.6.6.2"},
      {"dns.kalvane.example.", "6.6.6.3"},
      {"alias dns.kalvane.example", "6.6.6.4"},
      {"alias\tDNS.KALVANE.EXAMPLE.", "6.6.6.5"},
      {"alias", "6.6.6.6 dns.kalvane.example"},
      {"  dns.kalvane.example  ", "6.6.6.7"},
      {"host2", "10.0.0.2"},
      // Not the service host: other names that merely contain it, or two trailing dots.
      {"xdns.kalvane.example", "10.0.0.3"},
      {"dns.kalvane.example.org", "10.0.0.4"},
      {"kalvane.example", "10.0.0.5"},
      {"dns.kalvane.example..", "10.0.0.6"},
  };
  EXPECT_EQ(ComposeHostsWithSection("a\r\n", list, kServiceHost),
            "a\r\n#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n10.0.0.3 xdns.kalvane.example\r\n"
            "10.0.0.4 dns.kalvane.example.org\r\n10.0.0.5 kalvane.example\r\n"
            "10.0.0.6 dns.kalvane.example..\r\n");
  EXPECT_EQ(CountWritableMappings(list, kServiceHost), 6u);
  // The configured name is compared the same way, whatever its own case or trailing dot.
  EXPECT_TRUE(LineNamesHost("1.1.1.1 dns.kalvane.example", "DNS.KALVANE.EXAMPLE."));
  EXPECT_FALSE(LineNamesHost("1.1.1.1 anything", ""));
  EXPECT_FALSE(LineNamesHost("1.1.1.1 .", "."));
  EXPECT_EQ(CountWritableMappings(list, ""), list.size()) << "no service host, nothing refused";
}

TEST(HostsSection, RefusesUtf16AndNulContent) {
  EXPECT_FALSE(IsPlainTextHosts("\xFF\xFE#\0"s));
  EXPECT_FALSE(IsPlainTextHosts("\xFE\xFF\0#"s));
  EXPECT_FALSE(IsPlainTextHosts("\xFF\xFE"));
  EXPECT_FALSE(IsPlainTextHosts("127.0.0.1 a\r\n\0"s));
  EXPECT_TRUE(IsPlainTextHosts(""));
  EXPECT_TRUE(IsPlainTextHosts("\xEF\xBB\xBF# x\r\n\xFF\xFE"));
}

}  // namespace
}  // namespace kalvane
