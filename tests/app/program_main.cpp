// Entry of the end-to-end driver. Without arguments of its own it runs the test table; with
//   --demo <weight> <height> <m|w> <folder>
// it plays one user through the program instead (the run command's headless demo): it saves a
// screenshot of each step into folder as BMP, prints the result window's texts in Latin-1 and
// returns the program's exit code, or 2 when the run could not be played.
#include "tests/app/program_driver.h"
#include "tests/support/gui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const std::string kProgramPath = ProgramUnderTest(PROGRAM_PATH);

// The screen under rect as a 24-bit BMP file: rows from the bottom up, each padded to 4 bytes.
bool ScreenSave(const RECT& rect, const std::string& path) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  std::vector<COLORREF> pixels = ScreenPixels(rect);
  if (pixels.empty()) return false;
  DWORD rowBytes = (width * 3 + 3) & ~3u;
  std::vector<unsigned char> image(rowBytes * height);
  for (int y = 0; y < height; ++y) {
    unsigned char* out = &image[(height - 1 - y) * rowBytes];
    for (int x = 0; x < width; ++x) {
      COLORREF pixel = pixels[y * width + x];
      *out++ = GetBValue(pixel);
      *out++ = GetGValue(pixel);
      *out++ = GetRValue(pixel);
    }
  }
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(image.size());
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = fopen(path.c_str(), "wb");
  bool written = out && fwrite(&file, sizeof file, 1, out) == 1 &&
                 fwrite(&info, sizeof info, 1, out) == 1 &&
                 fwrite(image.data(), image.size(), 1, out) == 1;
  if (out) written = fclose(out) == 0 && written;
  if (!written) fprintf(stderr, "could not write %s\n", path.c_str());
  return written;
}

const char* ShotName(ProgramStep step) {
  switch (step) {
    case ProgramStep::WeightTyped: return "1-weight-dialog.bmp";
    case ProgramStep::HeightTyped: return "2-height-dialog.bmp";
    case ProgramStep::ChoiceShown: return "3-choice-window.bmp";
    case ProgramStep::ResultShown: return "4-result-window.bmp";
  }
  return "shot.bmp";
}

int DemoRun(const char* weight, const char* height, const char* sex, const std::string& folder) {
  UserPlay play = {weight, height, strcmp(sex, "w") == 0 ? 1 : 0};
  bool shotsSaved = true;
  ResultSeen seen;
  bool played = ProgramPlay(
      kProgramPath.c_str(), play,
      [&](ProgramStep step, HWND window) {
        RECT rect;
        GetWindowRect(window, &rect);
        std::string path = folder + "\\" + ShotName(step);
        shotsSaved = WindowPaintedAwait(window) && ScreenSave(rect, path) && shotsSaved;
      },
      &seen);
  const std::string* t = seen.texts;
  printf("%-17s %s\n%-17s %s\n%-17s %s\n", t[1].c_str(), t[3].c_str(), t[5].c_str(),
         t[0].c_str(), t[4].c_str(), t[2].c_str());
  printf("%s\n%s\n%s\n%s (background 0x%08lX)\n", t[8].c_str(), t[10].c_str(), t[9].c_str(),
         t[11].c_str(), static_cast<unsigned long>(seen.adviceColour));
  if (!played || !shotsSaved) return 2;
  printf("exit code %lu\n", static_cast<unsigned long>(seen.exitCode));
  return static_cast<int>(seen.exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && strcmp(argv[1], "--demo") == 0) {
    return DemoRun(argv[2], argv[3], argv[4], argv[5]);
  }
  if (argc > 1 && strcmp(argv[1], "--demo") == 0) {
    fprintf(stderr, "usage: %s --demo <weight> <height> <m|w> <folder>\n", argv[0]);
    return 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
