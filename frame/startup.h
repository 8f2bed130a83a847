// The process frame: start-up of every runtime layer, in one fixed order, and the one way out.
#pragma once

#include "runtime/instance.h"

// The first statement of the program: records the instance handle, makes the MainHeap and runs
// the layers' start routines in order. Called once. A heap or layer record that cannot be made
// ends the process with exit code 3 instead of running on with a null handle.
void RuntimeStart();

// The last statement of the program: closes every window that is still open (the window layer's
// end), destroys the MainHeap and exits with code 0. Does not return.
[[noreturn]] void RuntimeEnd();

// The same with another exit code, for a run that cannot go on.
[[noreturn]] void RuntimeEndWith(UINT exitCode);

// Registers the common-control classes and initialises COM for the calling thread. Run by
// RuntimeStart after every runtime layer; both results are ignored.
void PlatformStart();
