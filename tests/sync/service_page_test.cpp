#include "sync/service_page.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvane {
namespace {

const std::string kHostsBody =
    "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>host1&nbsp;10.0.0.1</p>\r\n<p>host2&nbsp;10.0.0.2</p>\r\n"
    "<p>END</p>";

TEST(ServicePage, ReadsRowsAndSurvivesBrokenBodies) {
  EXPECT_EQ(ReadDomainList(kHostsBody), (DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}}));
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>\r\n<p>END</p>").empty());
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>host6&nbsp;2001:db8::1</p>\r\n<p>END</p>"),
            (DomainList{{"host6", "2001:db8::1"}}));
  // The last row's line end and no end marker: every row.
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>b&nbsp;2</p>\r\n").size(), 2u);
  // Spaces stay; nothing is checked or changed.
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p> a b &nbsp; 1 </p>\r\n")[0],
            (DomainMapping{" a b ", " 1 "}));
  // No begin marker, a row without "&nbsp;" or without "</p>": stop there, keep what came before.
  EXPECT_TRUE(ReadDomainList("<p>a&nbsp;1</p>\r\n<p>END</p>").empty());
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>broken</p>\r\n<p>END</p>"),
            (DomainList{{"a", "1"}}));
  EXPECT_EQ(ReadDomainList("<p>BEGIN</p>\r\n<p>a&nbsp;1</p>\r\n<p>b&nbsp;2"),
            (DomainList{{"a", "1"}}));
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>\r\n&nbsp;1</p>\r\n").empty());
  EXPECT_TRUE(ReadDomainList("<p>BEGIN</p>").empty());
  EXPECT_TRUE(ReadDomainList("").empty());
}

TEST(ServicePage, ReadsLongListsWithoutA16BitLimit) {
  std::string body = "<p>BEGIN</p>\r\n";
  for (int i = 0; i < 40000; ++i) body += "<p>h" + std::to_string(i) + "&nbsp;10.0.0.1</p>\r\n";
  body += "<p>END</p>";
  const DomainList list = ReadDomainList(body);
  ASSERT_EQ(list.size(), 40000u);
  EXPECT_EQ(list.back().host, "h39999");
}

}  // namespace
}  // namespace kalvane
