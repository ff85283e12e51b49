#pragma once
// Ctrl+C (SIGINT), SIGTERM and SIGHUP while orvalctl works on the bus: the signal is only
// noted, so that the command ends between two frames and says what it did before the tool exits
// with 128 + the signal's number.

// Notes the signals from now on.
void InstallInterruptHandlers();
// The signal that asked the tool to stop; 0 while none did.
int InterruptSignal();
// "interrupted (SIGINT)".
const char* InterruptWords();
