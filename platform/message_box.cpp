#include "platform/message_box.h"

#include <cstdio>
#include <mutex>
#include <utility>

namespace {

std::mutex g_handlerMutex;
MessageBoxContentHandler g_handler;

// What SetMessageBoxHandler hands back for an installed content handler, so that putting it
// back restores the content handler itself.
struct ContentAsPlain {
    MessageBoxContentHandler content;
    void operator()(const std::string& text, const std::string& caption, unsigned flags) const {
        content({text, caption, flags, {}});
    }
};

// What SetMessageBoxContentHandler hands back for a plain handler, and how a plain one is kept.
struct PlainAsContent {
    MessageBoxHandler plain;
    void operator()(const MessageBoxContent& box) const { plain(box.text, box.caption, box.flags); }
};

void WriteToStderr(const MessageBoxContent& box) {
    if (box.informative.empty()) {
        std::fprintf(stderr, "[%s] %s\n", box.caption.c_str(), box.text.c_str());
    } else {
        std::fprintf(stderr, "[%s] %s (%s)\n", box.caption.c_str(), box.text.c_str(),
                     box.informative.c_str());
    }
}

MessageBoxContentHandler Exchange(MessageBoxContentHandler handler) {
    std::lock_guard lock(g_handlerMutex);
    return std::exchange(g_handler, std::move(handler));
}

}  // namespace

void ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    ShowMessageBox(MessageBoxContent{text, caption, flags, {}});
}

void ShowMessageBox(const MessageBoxContent& box) {
    MessageBoxContentHandler handler;
    {
        std::lock_guard lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler) {
        handler(box);
    } else {
        WriteToStderr(box);
    }
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxContentHandler content;
    if (const auto* back = handler.target<ContentAsPlain>()) {
        content = back->content;
    } else if (handler) {
        content = PlainAsContent{std::move(handler)};
    }
    MessageBoxContentHandler previous = Exchange(std::move(content));
    if (!previous) {
        return {};
    }
    if (const auto* plain = previous.target<PlainAsContent>()) {
        return plain->plain;
    }
    return ContentAsPlain{std::move(previous)};
}

MessageBoxContentHandler SetMessageBoxContentHandler(MessageBoxContentHandler handler) {
    if (const auto* plain = handler.target<PlainAsContent>(); plain && !plain->plain) {
        handler = nullptr;
    }
    return Exchange(std::move(handler));
}
