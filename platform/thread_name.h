#pragma once
// Names the calling thread for debuggers, profilers and the process list (at most 15
// characters are kept).

void NameCurrentThread(const char* name);
