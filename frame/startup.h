// The process frame: start-up of every runtime layer, in one fixed order, and the one way out.
#pragma once

#include "runtime/instance.h"

// The first statement of the program: records the instance handle, makes the MainHeap and runs
// the layers' start routines in order. Called once. A heap or layer record that cannot be made
// ends the process with exit code 3 instead of running on with a null handle.
void RuntimeStart();

// The last statement of the program: runs the layers' end routines, destroys the MainHeap and
// exits with code 0. Does not return.
[[noreturn]] void RuntimeEnd();

// Registers the common-control classes and initialises COM for the calling thread. Run by
// RuntimeStart after every runtime layer; both results are ignored.
void PlatformStart();
