// The program's entry point. The runtime starts and ends; the dialogs and windows of the
// assessment join this sequence as their layers are built.
#include "frame/startup.h"

int main() {
  RuntimeStart();
  RuntimeEnd();
}
