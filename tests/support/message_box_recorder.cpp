#include "message_box_recorder.h"

#include <utility>

namespace test_support {

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = SetMessageBoxContentHandler([this](const MessageBoxContent& box) {
        std::lock_guard lock(m_mutex);
        m_boxes.push_back({box.text, box.caption, box.flags, box.informative});
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxContentHandler(std::move(m_previous));
}

std::vector<RecordedBox> MessageBoxRecorder::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

std::size_t MessageBoxRecorder::Count(const std::string& text) const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const RecordedBox& box : m_boxes) {
        n += box.text == text ? 1 : 0;
    }
    return n;
}

}  // namespace test_support
