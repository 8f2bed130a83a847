// Entry of the end-to-end driver. Without arguments of its own it runs the test table; with
//   --demo <weight> <height> <m|w> <folder>
// it plays one user through the program instead (the run command's headless demo): it saves a
// screenshot of each step into folder as BMP, prints the result window's texts in Latin-1 and
// returns the program's exit code, or 2 when the run could not be played.
#include "tests/app/program_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kProgramPath[] = PROGRAM_PATH;

// The screen under rect, as a 24-bit bottom-up BMP file.
bool ScreenSave(const RECT& rect, const std::string& path) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 24;
  format.bmiHeader.biCompression = BI_RGB;
  DWORD rowBytes = (width * 3 + 3) & ~3u;
  format.bmiHeader.biSizeImage = rowBytes * height;

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &pixels, nullptr, 0);
  bool copied = false;
  if (bitmap && memory) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  bool written = false;
  if (copied) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof format.bmiHeader;
    file.bfSize = file.bfOffBits + format.bmiHeader.biSizeImage;
    if (FILE* out = fopen(path.c_str(), "wb")) {
      written = fwrite(&file, sizeof file, 1, out) == 1 &&
                fwrite(&format.bmiHeader, sizeof format.bmiHeader, 1, out) == 1 &&
                fwrite(pixels, format.bmiHeader.biSizeImage, 1, out) == 1;
      written = fclose(out) == 0 && written;
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!written) fprintf(stderr, "could not save %s (error %lu)\n", path.c_str(), GetLastError());
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
      kProgramPath, play,
      [&](ProgramStep step, HWND window) {
        RECT rect;
        GetWindowRect(window, &rect);
        shotsSaved = WindowPaintedAwait(window) && ScreenSave(rect, folder + "\\" + ShotName(step)) &&
                     shotsSaved;
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
