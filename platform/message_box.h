#pragma once
// The one way a message box is shown. The application installs a handler that shows a real
// modal box; tests install one that records caption and text. Whichever thread calls
// ShowMessageBox waits until the box is closed.

#include <functional>
#include <string>

inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

// The caption of the application's own message boxes (its refusals and prompts).
inline constexpr char kAppName[] = "Ravlin";

// text and caption are UTF-8.
using MessageBoxHandler =
    std::function<void(const std::string& text, const std::string& caption, unsigned flags)>;

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags = MB_OK);

// Replaces the handler and returns the previous one. An empty handler restores the default,
// which writes the box to standard error.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
