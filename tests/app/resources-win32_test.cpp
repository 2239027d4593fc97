// Reads the resources linked into Kalvane.exe, which the build puts beside this test binary.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/res/resource_ids.h"
#include "kalvane_version.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

// RT_GROUP_ICON data: a header and one entry per image (the entry names the RT_ICON id).
#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colour_count, reserved;
  WORD planes, bit_count;
  DWORD bytes_in_resource;
  WORD id;
};
#pragma pack(pop)

struct IconImage {
  int size;
  int bits;
  WORD id = 0;  // the RT_ICON resource holding the image

  bool operator==(const IconImage& other) const { return size == other.size && bits == other.bits; }
  friend void PrintTo(const IconImage& image, std::ostream* out) {
    *out << image.size << "px/" << image.bits << "bpp";
  }
};

std::filesystem::path ProgramBesideTests() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return std::filesystem::path(path).parent_path() / L"Kalvane.exe";
}

std::span<const std::byte> ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  if (loaded == nullptr) return {};
  return {static_cast<const std::byte*>(LockResource(loaded)), SizeofResource(module, found)};
}

std::vector<IconImage> GroupImages(HMODULE module, int id) {
  const auto bytes = ResourceBytes(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
  std::vector<IconImage> images;
  if (bytes.size() < 6) return images;
  const WORD count = *reinterpret_cast<const WORD*>(bytes.data() + 4);
  if (bytes.size() < 6 + count * sizeof(GroupIconEntry)) return images;
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(bytes.data() + 6);
  for (WORD i = 0; i < count; ++i) {
    images.push_back(
        {entries[i].width == 0 ? 256 : entries[i].width, entries[i].bit_count, entries[i].id});
  }
  return images;
}

std::vector<RGBQUAD> TopDownPixels(HBITMAP bitmap, int width, int height) {
  BITMAPINFO request{};
  request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  request.bmiHeader.biWidth = width;
  request.bmiHeader.biHeight = -height;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  std::vector<RGBQUAD> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) pixels.clear();
  return pixels;
}

// An icon's colour and mask bitmaps as 32-bit pixels, top row first.
struct IconBitmaps {
  int size = 0;
  std::vector<RGBQUAD> colour;
  std::vector<RGBQUAD> mask;  // white where the screen shows through
};

IconBitmaps ReadIcon(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return {};
  UniqueBitmap colour(info.hbmColor);
  UniqueBitmap mask(info.hbmMask);
  BITMAP bitmap{};
  if (!colour || GetObjectW(colour.get(), sizeof bitmap, &bitmap) == 0) return {};
  return {bitmap.bmWidth, TopDownPixels(colour.get(), bitmap.bmWidth, bitmap.bmHeight),
          TopDownPixels(mask.get(), bitmap.bmWidth, bitmap.bmHeight)};
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto path = ProgramBesideTests();
    if (!std::filesystem::exists(path)) {
      GTEST_SKIP() << "build the Kalvane target first: " << path.string();
    }
    program_.reset(LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(program_) << GetLastError();
  }

  // The image that LoadImage picks for the size.
  UniqueIcon LoadIconAtSize(int id, int size) const {
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(program_.get(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
  }

  // One stored image exactly, whatever its colour depth.
  UniqueIcon LoadStoredImage(const IconImage& image) const {
    const auto bytes = ResourceBytes(program_.get(), MAKEINTRESOURCEW(image.id), RT_ICON);
    auto* data = reinterpret_cast<PBYTE>(const_cast<std::byte*>(bytes.data()));
    return UniqueIcon(CreateIconFromResourceEx(data, static_cast<DWORD>(bytes.size()), TRUE,
                                               0x00030000, image.size, image.size, 0));
  }

  UniqueModule program_;
};

TEST_F(ResourcesTest, IconsHoldTheirImages) {
  EXPECT_EQ(GroupImages(program_.get(), IDI_UPDATED), (std::vector<IconImage>{{128, 32}}));
  EXPECT_EQ(GroupImages(program_.get(), IDI_FAILED), (std::vector<IconImage>{{48, 4},
                                                                             {32, 4},
                                                                             {16, 4},
                                                                             {48, 8},
                                                                             {32, 8},
                                                                             {16, 8},
                                                                             {128, 32},
                                                                             {48, 32},
                                                                             {32, 32},
                                                                             {16, 32}}));
  EXPECT_EQ(GroupImages(program_.get(), IDI_UNCONFIRMED),
            (std::vector<IconImage>{{128, 32}, {48, 32}, {32, 32}, {16, 32}}));
}

bool IsGreen(RGBQUAD p) { return p.rgbGreen > p.rgbRed + 40 && p.rgbGreen > 120; }
bool IsRed(RGBQUAD p) { return p.rgbRed > p.rgbGreen + 80 && p.rgbRed > 150; }
bool IsWhite(RGBQUAD p) { return p.rgbRed > 230 && p.rgbGreen > 230 && p.rgbBlue > 230; }

// The pictures differ in outline, not only in colour: a disc, a rounded square, a triangle.
TEST_F(ResourcesTest, IconsDifferInShape) {
  struct Case {
    int id;
    bool top_left_corner;
    bool bottom_left_corner;
  };
  for (const Case& c : {Case{IDI_UPDATED, false, false}, Case{IDI_FAILED, true, true},
                        Case{IDI_UNCONFIRMED, false, true}}) {
    SCOPED_TRACE(c.id);
    const IconBitmaps icon = ReadIcon(LoadIconAtSize(c.id, 128).get());
    ASSERT_EQ(icon.mask.size(), 128u * 128u);
    const auto painted = [&](int x, int y) { return !IsWhite(icon.mask[y * 128 + x]); };
    EXPECT_TRUE(painted(64, 64));
    EXPECT_EQ(painted(13, 13), c.top_left_corner);
    EXPECT_EQ(painted(13, 115), c.bottom_left_corner);
  }
}

// A transparent corner, the disc's colour right of the middle, the white mark at `mark_x`.
void ExpectArtwork(const IconBitmaps& icon, int size, bool (*disc)(RGBQUAD), double mark_x) {
  ASSERT_EQ(icon.size, size);
  ASSERT_EQ(icon.colour.size(), static_cast<size_t>(size * size));
  ASSERT_EQ(icon.mask.size(), icon.colour.size());
  const auto index = [&](double x, double y) {
    return static_cast<size_t>(y * size) * size + static_cast<size_t>(x * size);
  };
  EXPECT_TRUE(IsWhite(icon.mask[index(0, 0)]));
  EXPECT_FALSE(IsWhite(icon.mask[index(0.5, 0.5)]));
  EXPECT_TRUE(disc(icon.colour[index(0.72, 0.5)]));
  EXPECT_TRUE(IsWhite(icon.colour[index(mark_x, 0.5)]));
}

TEST_F(ResourcesTest, IconsShowTheirArtwork) {
  // The updated icon: a green disc with a check mark; the failed icon: a red disc with a cross.
  {
    SCOPED_TRACE("the updated icon loaded at 128");
    ExpectArtwork(ReadIcon(LoadIconAtSize(IDI_UPDATED, 128).get()), 128, IsGreen, 0.3);
  }
  for (int size : {128, 48, 32, 16}) {
    SCOPED_TRACE(testing::Message() << "the failed icon loaded at " << size);
    ExpectArtwork(ReadIcon(LoadIconAtSize(IDI_FAILED, size).get()), size, IsRed, 0.5);
  }
  for (const IconImage& image : GroupImages(program_.get(), IDI_FAILED)) {
    SCOPED_TRACE(testing::PrintToString(image));
    ExpectArtwork(ReadIcon(LoadStoredImage(image).get()), image.size, IsRed, 0.5);
  }
}

// The 4 and 8 bpp images are the 32 bpp picture of their size in fewer colours: the same shape
// pixel for pixel and close in colour.
TEST_F(ResourcesTest, PalettedImagesMatchTheTrueColourOnes) {
  const auto images = GroupImages(program_.get(), IDI_FAILED);
  for (const IconImage& paletted : images) {
    if (paletted.bits == 32) continue;
    SCOPED_TRACE(testing::PrintToString(paletted));
    const auto true_colour = std::ranges::find(images, IconImage{paletted.size, 32});
    ASSERT_NE(true_colour, images.end());
    const IconBitmaps low = ReadIcon(LoadStoredImage(paletted).get());
    const IconBitmaps high = ReadIcon(LoadStoredImage(*true_colour).get());
    ASSERT_EQ(low.colour.size(), static_cast<size_t>(paletted.size * paletted.size));
    ASSERT_EQ(high.colour.size(), low.colour.size());
    int shape_differs = 0;
    int opaque = 0;
    long colour_error = 0;
    for (size_t i = 0; i < low.colour.size(); ++i) {
      const bool low_clear = IsWhite(low.mask[i]);
      shape_differs += low_clear != (high.colour[i].rgbReserved < 128);
      if (low_clear || high.colour[i].rgbReserved < 255) continue;
      ++opaque;
      colour_error += std::abs(low.colour[i].rgbRed - high.colour[i].rgbRed) +
                      std::abs(low.colour[i].rgbGreen - high.colour[i].rgbGreen) +
                      std::abs(low.colour[i].rgbBlue - high.colour[i].rgbBlue);
    }
    EXPECT_EQ(shape_differs, 0);
    ASSERT_GT(opaque, paletted.size * paletted.size / 2);
    const double mean_error = static_cast<double>(colour_error) / (3.0 * opaque);
    EXPECT_LT(mean_error, paletted.bits == 4 ? 12.0 : 4.0);
  }
}

TEST_F(ResourcesTest, ManifestAndVersion) {
  const auto manifest_bytes = ResourceBytes(program_.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  const std::string_view manifest(reinterpret_cast<const char*>(manifest_bytes.data()),
                                  manifest_bytes.size());
  for (std::string_view part : {"level=\"requireAdministrator\"",
                                "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                                ">PerMonitorV2", ">true/pm<"}) {
    EXPECT_NE(manifest.find(part), std::string_view::npos) << part;
  }

  const auto version = ResourceBytes(program_.get(), MAKEINTRESOURCEW(1), RT_VERSION);
  const std::wstring_view text(reinterpret_cast<const wchar_t*>(version.data()),
                               version.size() / sizeof(wchar_t));
  const DWORD signature = 0xFEEF04BD;
  const auto fixed =
      std::search(version.begin(), version.end(), reinterpret_cast<const std::byte*>(&signature),
                  reinterpret_cast<const std::byte*>(&signature + 1));
  ASSERT_GE(version.end() - fixed, static_cast<std::ptrdiff_t>(sizeof(VS_FIXEDFILEINFO)));
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, &*fixed, sizeof info);
  // The project's version (CMake's project(VERSION)), as the generated header has it.
  EXPECT_EQ(info.dwFileVersionMS,
            static_cast<DWORD>(MAKELONG(KALVANE_VERSION_MINOR, KALVANE_VERSION_MAJOR)));
  EXPECT_EQ(info.dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, KALVANE_VERSION_PATCH)));
  EXPECT_EQ(info.dwProductVersionMS, info.dwFileVersionMS);
  EXPECT_EQ(info.dwProductVersionLS, info.dwFileVersionLS);
  EXPECT_NE(text.find(L"" KALVANE_VERSION_STRING4), std::wstring_view::npos);
  EXPECT_EQ(info.dwFileType, static_cast<DWORD>(VFT_APP));
  // The UTF-8 source is read as UTF-8: the Chinese company name arrives intact.
  for (std::wstring_view value : {L"FileDescription", L"ProductName", L"Kalvane 工作室"}) {
    EXPECT_NE(text.find(value), std::wstring_view::npos);
  }
}

}  // namespace
}  // namespace kalvane
