#pragma once
// Shared by the GUI tests: the widget-test support (QApplication, message-box recorder, waiting
// while events flow, controls by number, clicks) under the names the GUI tests use. Linking
// this support also loads the application's resources once the QApplication exists.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

#include "message_box_recorder.h"
#include "widget_driving.h"

namespace gui_test {

using test_support::Click;
using test_support::ClickLowerHalf;
using test_support::ClickUpperHalf;
using test_support::Control;
using test_support::MessageBoxRecorder;
using test_support::RecordedBox;
using test_support::WaitFor;

}  // namespace gui_test
