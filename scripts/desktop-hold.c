/* Holds Wine's virtual desktop for as long as it runs. Wine closes the desktop about a second
 * after the last GUI program on it has ended, and a program that starts in that second can get
 * an X BadWindow and end without a window. scripts/wine-env.sh builds this program and starts
 * one per prefix in wine_env_up; wine_env_down ends it.
 *
 * A process holds the desktop while a thread of it uses the desktop (a window, even one never
 * shown, a message queue, or just the desktop window's handle); a console program that never
 * does, holds nothing. The window also makes Wine start the desktop before CreateWindowExA
 * returns, so the line on standard output says that the desktop is up and held. 64-bit, so that
 * it runs where 32-bit programs cannot. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  static const char kHeld[] = "desktop held\n";
  DWORD written;
  MSG message;
  (void)previous;
  (void)commandLine;
  (void)show;
  if (!CreateWindowExA(0, "Static", "", 0, 0, 0, 0, 0, NULL, NULL, instance, NULL)) return 1;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kHeld, sizeof kHeld - 1, &written, NULL);
  while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
  return 0;
}
