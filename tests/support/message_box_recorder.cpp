#include "message_box_recorder.h"

#include <utility>

namespace test_support {

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, unsigned flags) {
            std::lock_guard lock(m_mutex);
            m_boxes.push_back({text, caption, flags});
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(m_previous));
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
