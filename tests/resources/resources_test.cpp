// Reads the resources back from the built program, the way Windows reads them: the class icon,
// the manifest the loader activates, and the texts of the Properties page.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/gui.h"
#include "version.h"

#include <string>
#include <vector>

namespace {

const std::string kProgramPath = ProgramUnderTest(PROGRAM_PATH);

// The program loaded as a data file: its resources are reachable, its code never runs.
class ProgramResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    program_ = LoadLibraryExA(kProgramPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program_, nullptr) << kProgramPath << ": error " << GetLastError();
  }
  void TearDown() override {
    if (program_) FreeLibrary(program_);
  }

  HMODULE program_ = nullptr;
};

// An icon's colour bitmap: its description and its pixels as 0xAARRGGBB, top row first.
struct IconImage {
  BITMAP format;              // width, height and bits per pixel of the colour bitmap
  std::vector<DWORD> pixels;  // width x height pixels, empty when they could not be read
};

IconImage IconRead(HICON icon) {
  IconImage image = {};
  ICONINFO info = {};
  EXPECT_TRUE(GetIconInfo(icon, &info)) << "error " << GetLastError();
  if (!info.hbmColor) return image;
  GetObjectA(info.hbmColor, sizeof image.format, &image.format);
  BITMAPINFO request = {};
  request.bmiHeader.biSize = sizeof request.bmiHeader;
  request.bmiHeader.biWidth = image.format.bmWidth;
  request.bmiHeader.biHeight = -image.format.bmHeight;
  request.bmiHeader.biPlanes = 1;
  request.bmiHeader.biBitCount = 32;
  request.bmiHeader.biCompression = BI_RGB;
  image.pixels.resize(static_cast<size_t>(image.format.bmWidth) * image.format.bmHeight);
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, info.hbmColor, 0, image.format.bmHeight, image.pixels.data(),
                       &request, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(rows, image.format.bmHeight) << "error " << GetLastError();
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return image;
}

TEST_F(ProgramResourcesTest, Icon1At48PixelsIs32BitWithAntiAliasedAlpha) {
  auto icon = static_cast<HICON>(LoadImageA(program_, MAKEINTRESOURCEA(1), IMAGE_ICON, 48, 48, 0));
  ASSERT_NE(icon, nullptr) << "error " << GetLastError();
  IconImage image = IconRead(icon);
  DestroyIcon(icon);
  EXPECT_EQ(image.format.bmWidth, 48);
  EXPECT_EQ(image.format.bmHeight, 48);
  EXPECT_EQ(image.format.bmBitsPixel, 32);
  int transparent = 0, partial = 0, opaque = 0;
  for (DWORD pixel : image.pixels) {
    DWORD alpha = pixel >> 24;
    if (alpha == 0) ++transparent;
    else if (alpha == 255) ++opaque;
    else ++partial;
  }
  // A motif on a clear ground with smooth edges: all three kinds of pixel, the edges a fair share.
  EXPECT_GT(transparent, 48) << partial << " partial, " << opaque << " opaque";
  EXPECT_GT(opaque, 48 * 24) << transparent << " transparent, " << partial << " partial";
  EXPECT_GT(partial, 96) << transparent << " transparent, " << opaque << " opaque";
}

// The window layer loads its class icon this way, at the system's icon size.
TEST_F(ProgramResourcesTest, Icon1LoadsAsTheClassIcon) {
  HICON icon = LoadIconA(program_, MAKEINTRESOURCEA(1));
  ASSERT_NE(icon, nullptr) << "error " << GetLastError();
  EXPECT_EQ(IconRead(icon).format.bmWidth, GetSystemMetrics(SM_CXICON));
}

TEST_F(ProgramResourcesTest, ManifestAsksForCommonControls6OfTheProgramsArchitecture) {
  HRSRC found = FindResourceA(program_, MAKEINTRESOURCEA(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr) << "error " << GetLastError();
  const char* data = static_cast<const char*>(LockResource(LoadResource(program_, found)));
  ASSERT_NE(data, nullptr) << "error " << GetLastError();
  std::string manifest(data, SizeofResource(program_, found));
#ifdef _WIN64
  const char* architecture = "processorArchitecture=\"amd64\"";
#else
  const char* architecture = "processorArchitecture=\"x86\"";
#endif
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos) << manifest;
  EXPECT_NE(manifest.find(std::string(architecture) + " publicKeyToken=\"6595b64144ccf1df\""),
            std::string::npos) << manifest;
}

// The version resource as the Properties page reads it, through the version library.
class ProgramVersionTest : public testing::Test {
 protected:
  void SetUp() override {
    DWORD size = GetFileVersionInfoSizeA(kProgramPath.c_str(), nullptr);
    ASSERT_NE(size, 0u) << kProgramPath << ": error " << GetLastError();
    info_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(kProgramPath.c_str(), 0, size, info_.data()))
        << "error " << GetLastError();
  }

  // The value at path, or null when the resource has none.
  const void* Value(const char* path, UINT* length = nullptr) {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueA(info_.data(), path, &value, &size)) return nullptr;
    if (length) *length = size;
    return value;
  }

  std::vector<char> info_;
};

// The numbers are project()'s version with a fourth part, 0; version.h carries it to this test.
TEST_F(ProgramVersionTest, NumbersSayTheProjectVersionOfAnApplication) {
  UINT length = 0;
  auto fixed = static_cast<const VS_FIXEDFILEINFO*>(Value("\\", &length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_EQ(length, sizeof *fixed);
  const DWORD major_minor = WAAGENFUCHS_VERSION_MAJOR << 16 | WAAGENFUCHS_VERSION_MINOR;
  const DWORD patch_0 = WAAGENFUCHS_VERSION_PATCH << 16;
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, major_minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch_0);
  EXPECT_EQ(fixed->dwProductVersionMS, major_minor);
  EXPECT_EQ(fixed->dwProductVersionLS, patch_0);
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no debug or pre-release flag";
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(ProgramVersionTest, TranslationIsGermanInCodePage1252) {
  UINT length = 0;
  auto translation = static_cast<const WORD*>(Value("\\VarFileInfo\\Translation", &length));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 1252);
}

TEST_F(ProgramVersionTest, TextsReadBackUnderTheTranslation) {
  struct Case {
    const char* name;
    const char* text;
  };
  static const Case kCases[] = {
      {"CompanyName", "Waagenfuchs-Projekt"},
      {"FileDescription", "Waagenfuchs - Bewertung des K\xF6rpergewichts"},
      {"FileVersion", WAAGENFUCHS_VERSION},
      {"InternalName", "waagenfuchs"},
      {"LegalCopyright", "\xA9 Waagenfuchs-Projekt"},
      {"OriginalFilename", "waagenfuchs.exe"},
      {"ProductName", "Waagenfuchs"},
      {"ProductVersion", WAAGENFUCHS_VERSION},
  };
  for (const Case& c : kCases) {
    std::string path = std::string("\\StringFileInfo\\040704E4\\") + c.name;
    auto text = static_cast<const char*>(Value(path.c_str()));
    ASSERT_NE(text, nullptr) << c.name;
    EXPECT_STREQ(text, c.text) << c.name;
  }
}

}  // namespace
