#include "status/history_file.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "memory_file_system.h"

namespace kalvane {
namespace {

const FilePath kHistory = L"/app/kalvane-history.dat";
const FilePath kSetAside = L"/app/kalvane-history.dat.bad";

JournalEntry Entry(int n, std::u16string result = u"已更新 2 条映射") {
  return {{n / 3600 % 24, n / 60 % 60, n % 60, 1 + n % 12, 1 + n % 28},
          std::move(result),
          u"+1 -0 ~0",
          false};
}

std::string Utf16(std::u16string_view text) {
  std::string bytes;
  for (char16_t ch : text) bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
  return bytes;
}

TEST(HistoryFile, KeepsTheNewestRowsWithinBothBounds) {
  const auto read = DecodeHistory(EncodeHistory({Entry(2, u"无法连接\t服务器"), Entry(1)}));
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(*read,
            (std::vector<JournalEntry>{{Entry(2).at, u"无法连接 服务器", u"+1 -0 ~0", true},
                                       {Entry(1).at, u"已更新 2 条映射", u"+1 -0 ~0", true}}));

  std::deque<JournalEntry> many, long_rows;
  for (int i = 1200; i > 0; --i) many.push_back(Entry(i));
  const auto rows = DecodeHistory(EncodeHistory(many));
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), kHistoryFileRows);
  EXPECT_EQ(rows->front().at, Entry(1200).at);
  EXPECT_EQ(rows->back().at, Entry(201).at);

  // Long rows meet the size bound first; the file still reads back whole.
  for (int i = 400; i > 0; --i) long_rows.push_back(Entry(i, std::u16string(400, u'长')));
  const std::string big = EncodeHistory(long_rows);
  EXPECT_LE(big.size(), kHistoryFileBytes);
  EXPECT_GT(big.size(), kHistoryFileBytes - 1000);
  const auto fitted = DecodeHistory(big);
  ASSERT_TRUE(fitted.ok());
  EXPECT_EQ(fitted->front().at, Entry(400).at);
}

TEST(HistoryFile, RejectsTornForeignOversizedAndLaterFiles) {
  const std::string good = EncodeHistory({Entry(2), Entry(1)});
  for (std::size_t length = 0; length < good.size(); ++length) {
    EXPECT_FALSE(DecodeHistory(good.substr(0, length)).ok()) << "cut at " << length;
  }
  const std::u16string bom(1, 0xFEFF);
  const std::string rejected[] = {
      "plain text\r\n",
      Utf16(u"Kalvane history 1\r\nend 0\r\n"),                               // no byte-order mark
      Utf16(bom + u"Kalvane history 2\r\nend 0\r\n"),                         // a later version
      Utf16(bom + u"Kalvane history 1\r\nend 1\r\n"),                         // a row short
      Utf16(bom + u"Kalvane history 1\r\n13-01 08:00:00\tx\t\r\nend 1\r\n"),  // no such month
      Utf16(bom + u"Kalvane history 1\r\n01-01 08:00\tx\t\r\nend 1\r\n"),     // no seconds
      Utf16(bom + u"Kalvane history 1\r\n01-01 08:00:00\tx\r\nend 1\r\n"),    // a field short
      good + std::string(kHistoryFileBytes, ' '),                             // oversized
  };
  for (const std::string& bytes : rejected) EXPECT_FALSE(DecodeHistory(bytes).ok()) << bytes;
  EXPECT_TRUE(DecodeHistory(Utf16(bom + u"Kalvane history 1\r\nend 0\r\n")).ok());
}

TEST(HistoryFile, SetsAnUntrustedFileAsideAndStartsAfresh) {
  testing::MemoryDisk disk;
  testing::MemoryFileSystem files(disk);
  HistoryFile history(files, kHistory);
  EXPECT_TRUE(history.Load().empty());
  EXPECT_FALSE(disk.Content(kSetAside)) << "a missing file is no foreign one";
  ASSERT_TRUE(history.Save({Entry(2), Entry(1)}).ok());
  EXPECT_EQ(history.Load().size(), 2u);

  // Foreign bytes, and a file of ours that others may open (planted, or copied in).
  disk.files[kHistory].content = "not a history";
  EXPECT_TRUE(history.Load().empty());
  EXPECT_EQ(disk.Content(kSetAside), "not a history");
  EXPECT_FALSE(disk.Content(kHistory));
  ASSERT_TRUE(history.Save({Entry(5)}).ok());
  disk.files[kHistory].open_to_others = true;
  EXPECT_TRUE(history.Load().empty());
  EXPECT_FALSE(disk.Content(kHistory));
}

}  // namespace
}  // namespace kalvane
