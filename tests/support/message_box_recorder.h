#pragma once
// Replaces the message-box handler for its lifetime and records every box, from any thread.

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace test_support {

struct RecordedBox {
    std::string text;
    std::string caption;
    unsigned flags;
    std::string informative;  // the line under the main text; empty for most boxes
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<RecordedBox> Boxes() const;
    // How many boxes showed exactly this text.
    std::size_t Count(const std::string& text) const;

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedBox> m_boxes;
    MessageBoxContentHandler m_previous;
};

}  // namespace test_support
