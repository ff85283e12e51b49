#pragma once
// Shows the application's message boxes as real modal boxes (OK only, icon by the MB_ICON*
// flags) on the UI thread. A call from another thread waits until the UI thread has shown and
// closed the box; a UI thread that is itself waiting for that thread keeps such boxes flowing
// by pumping posted events (IMessageOwner::PumpPendingMessages).

// Installs the handler through SetMessageBoxHandler. Call on the UI thread after the
// QApplication exists.
void InstallQtMessageBoxHandler();
