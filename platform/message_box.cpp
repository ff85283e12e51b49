#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler;

void WriteToStderr(const std::string& text, const std::string& caption, unsigned) {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler) {
        handler(text, caption, flags);
    } else {
        WriteToStderr(text, caption, flags);
    }
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    return std::exchange(g_handler, std::move(handler));
}
