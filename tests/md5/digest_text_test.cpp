#include "md5/digest_text.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "iconv_code_page.h"
#include "latin1_code_page.h"
#include "md5_reference.h"

namespace kalvane {
namespace {

using testing::IconvCodePage;
using testing::OpenSslDigestText;

TEST(DigestStrToHexStr, GivesTheRfc1321DigestsInUpperCase) {
  const IconvCodePage cp1252("CP1252");
  for (const auto& [message, expected] : testing::kRfc1321Suite) {
    const std::u16string text(message.begin(), message.end());
    const DigestTextResult digest = DigestStrToHexStr(text, cp1252);
    ASSERT_TRUE(digest.ok());
    EXPECT_EQ(digest.value(), expected);
  }
}

TEST(DigestStrToHexStr, TakesEachCharacterAsItsByteInTheAnsiCodePage) {
  const IconvCodePage cp1252("CP1252");
  const IconvCodePage cp936("CP936");

  auto euro = StrToByteArray(u"\u20AC", cp1252);
  ASSERT_TRUE(euro.ok());
  EXPECT_EQ(euro.value(), std::vector<std::uint8_t>{0x80});

  const DigestTextResult latin = DigestStrToHexStr(u"caf\u00E9", cp1252);
  ASSERT_TRUE(latin.ok());
  EXPECT_EQ(latin.value(), OpenSslDigestText(std::string_view("caf\xE9")));

  // é takes two bytes under the Chinese code page; 中 has no code in 1252 and two bytes in 936.
  const DigestTextResult latin_in_936 = DigestStrToHexStr(u"caf\u00E9", cp936);
  ASSERT_FALSE(latin_in_936.ok());
  EXPECT_EQ(latin_in_936.status(), Status::Failure(StatusKind::kUnconvertible, 0, 3));
  EXPECT_THROW((void)latin_in_936.value(), std::bad_variant_access);

  for (const IconvCodePage* code_page : {&cp1252, &cp936}) {
    const DigestTextResult chinese = DigestStrToHexStr(u"pw\u4E2Dx\u4E2D", *code_page);
    ASSERT_FALSE(chinese.ok());
    EXPECT_EQ(chinese.status(), Status::Failure(StatusKind::kUnconvertible, 0, 2));
    const DigestTextResult without = DigestStrToHexStr(u"pwx", *code_page);
    ASSERT_TRUE(without.ok());
    EXPECT_EQ(without.value(), OpenSslDigestText(std::string_view("pwx")));
  }
}

TEST(DigestStrToHexStr, DigestsTextsOfAnyLength) {
  const testing::Latin1CodePage latin1;
  for (const std::size_t length : {32767, 32768, 200001}) {
    std::u16string text(length, u'x');
    text.back() = u'\u00FF';
    std::string bytes(length, 'x');
    bytes.back() = '\xFF';
    const DigestTextResult digest = DigestStrToHexStr(text, latin1);
    ASSERT_TRUE(digest.ok());
    EXPECT_EQ(digest.value(), OpenSslDigestText(bytes)) << length;
  }
}

TEST(DigestText, WordsAndRegistersReadTheStateWords) {
  EXPECT_EQ(LongToHexStr(0x01234567), "67452301");
  EXPECT_EQ(LongToHexStr(0x0000000A), "0A000000");
  EXPECT_EQ(LongToHexStr(0x80000000), "00000080");
  EXPECT_EQ(LongToHexStr(0xFFFFFFFF), "FFFFFFFF");

  Md5Engine engine;
  engine.MD5Update(std::vector<std::uint8_t>{'a', 'b'});
  engine.MD5Init();
  EXPECT_EQ(RegisterA(engine), "1732584193");
  EXPECT_EQ(RegisterB(engine), "-271733879");
  EXPECT_EQ(RegisterC(engine), "-1732584194");
  EXPECT_EQ(RegisterD(engine), "271733878");
  EXPECT_EQ(GetValues(engine), "0123456789ABCDEFFEDCBA9876543210");
}

class DigestFileToHexStrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kalvane-md5-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path Write(const std::string& name, const std::string& contents) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << contents;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(DigestFileToHexStrTest, DigestsTheWholeFile) {
  std::string contents;
  for (std::size_t i = 0; i < 5 * 1024 * 1024 + 13; ++i) {
    contents += static_cast<char>((i * 131 + i / 977) & 0xFF);
  }
  for (const std::size_t size : {0, 64, 65, 128, 64 * 1024, 64 * 1024 + 1}) {
    const std::string head = contents.substr(0, size);
    const DigestTextResult digest = DigestFileToHexStr(Write(std::to_string(size), head));
    ASSERT_TRUE(digest.ok()) << size;
    EXPECT_EQ(digest.value(), OpenSslDigestText(head)) << size;
  }
  const DigestTextResult large = DigestFileToHexStr(Write("large", contents));
  ASSERT_TRUE(large.ok());
  EXPECT_EQ(large.value(), OpenSslDigestText(contents));
}

TEST_F(DigestFileToHexStrTest, ReportsAFileThatCannotBeRead) {
  const DigestTextResult missing = DigestFileToHexStr(dir_ / "missing");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.status(), Status::Failure(StatusKind::kNotFound, ENOENT));

  const DigestTextResult directory = DigestFileToHexStr(dir_);
  ASSERT_FALSE(directory.ok());
  EXPECT_EQ(directory.status().kind(), StatusKind::kFailed);
  EXPECT_NE(directory.status().system_error(), 0u) << "the system's reason is kept";
}

}  // namespace
}  // namespace kalvane
