// Interrupts from the console and the signals that end the program.
#pragma once

namespace platform {

// Installs the program's handling of signals, for the rest of its life:
// - an interrupt (Ctrl+C) is counted; the first one only asks for a stop (InterruptCount),
//   the second ends the program at once, as the interrupt itself would;
// - every other signal that ends a program (hang-up, termination, quit, alarm, the user
//   signals, the CPU limit) ends it as before, but first removes the temporaries of output
//   files not yet committed;
// - a write to a closed pipe and a write past the file-size limit fail with an error
//   (EPIPE, EFBIG) instead of ending the program.
// Calling it again resets the interrupt count.
void InstallTerminationHandling();

// How many interrupts have arrived since InstallTerminationHandling.
int InterruptCount();

} // namespace platform
