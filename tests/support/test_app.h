#pragma once
// One QApplication for the whole test program: made before the first test and deleted after
// the last. Linking the support library is enough; nothing needs to register it.

namespace test_support {

// Has `init` run right after the QApplication is made (a program that needs the application's
// resources loads them here). Call it from a static initialiser; returns true.
bool RunAtAppStart(void (*init)());

}  // namespace test_support
