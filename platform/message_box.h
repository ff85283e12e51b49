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

// A box with, below its main text, an informative text (a line of detail, UTF-8; may be empty).
struct MessageBoxContent {
    std::string text;
    std::string caption;
    unsigned flags = MB_OK;
    std::string informative;
};
using MessageBoxContentHandler = std::function<void(const MessageBoxContent& box)>;

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags = MB_OK);
// The same box with an informative text under the main text. A handler installed through
// SetMessageBoxHandler sees the main text only.
void ShowMessageBox(const MessageBoxContent& box);

// Replaces the handler and returns the previous one. An empty handler restores the default,
// which writes the box to standard error. A handler given back by either function may be put
// back through either of them without losing what it receives.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
MessageBoxContentHandler SetMessageBoxContentHandler(MessageBoxContentHandler handler);
