// Message delivery from another thread to the UI thread, and message boxes shown on the UI
// thread for another thread: order, blocking, pumping, and release when the owner goes.

#include "platform/qt_message_owner.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "gui_test_support.h"
#include "platform/message_box.h"
#include "platform/qt_message_box.h"

using namespace gui_test;

namespace {

struct Received {
    std::vector<WindowMessage> messages;
    bool allOnUiThread = true;
};

QtMessageOwner::Handler Recorder(Received& r) {
    return [&r](std::uint32_t message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        r.allOnUiThread = r.allOnUiThread && QThread::currentThread() == qApp->thread();
        r.messages.push_back({message, wParam, lParam});
        return 0;
    };
}

std::vector<WindowMessage> ByteRun(std::size_t n) {
    std::vector<WindowMessage> run;
    for (std::size_t i = 0; i < n; ++i) {
        run.push_back({WM_SERIAL_RXBYTE, i & 0xFF, 901});
    }
    return run;
}

TEST(QtMessageOwner, RunFromAnotherThreadIsHandledInOrderBeforeTheSenderGoesOn) {
    Received received;
    QtMessageOwner owner(Recorder(received));
    const std::vector<WindowMessage> run = ByteRun(300);
    std::atomic<std::size_t> seenWhenReturned{0};
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        owner.SendMessages(run.data(), run.size());
        seenWhenReturned = received.messages.size();
        owner.SendMessage(WM_SERIAL_CTS_EVENT, 0, 901);
        returned = true;
    });
    ASSERT_TRUE(WaitFor([&] { return returned.load(); }));
    sender.join();
    EXPECT_EQ(seenWhenReturned.load(), run.size());
    ASSERT_EQ(received.messages.size(), run.size() + 1);
    for (std::size_t i = 0; i < run.size(); ++i) {
        EXPECT_EQ(received.messages[i].wParam, run[i].wParam);
    }
    EXPECT_EQ(received.messages.back().message, WM_SERIAL_CTS_EVENT);
    EXPECT_TRUE(received.allOnUiThread);
}

TEST(QtMessageOwner, OnTheUiThreadItIsADirectCall) {
    Received received;
    QtMessageOwner owner(Recorder(received));
    owner.SendMessage(WM_SERIAL_RXBYTE, 0x42, 7);
    ASSERT_EQ(received.messages.size(), 1u);
    EXPECT_EQ(received.messages[0].wParam, 0x42u);
    EXPECT_EQ(received.messages[0].lParam, 7);
}

TEST(QtMessageOwner, PumpingReleasesASenderWithoutTheEventLoop) {
    Received received;
    QtMessageOwner owner(Recorder(received));
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        owner.SendMessage(WM_SERIAL_RXBYTE, 1, 1);
        returned = true;
    });
    // Like a close that waits for the monitor: no event loop, only the pump.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!returned && std::chrono::steady_clock::now() < deadline) {
        owner.PumpPendingMessages();
    }
    sender.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(received.messages.size(), 1u);
}

TEST(QtMessageOwner, DetachDuringARunDropsTheRestAndReleasesTheSender) {
    std::vector<WPARAM> seen;
    std::unique_ptr<QtMessageOwner> owner;
    owner = std::make_unique<QtMessageOwner>([&](std::uint32_t, WPARAM wParam, LPARAM) -> LRESULT {
        seen.push_back(wParam);
        owner->Detach();  // the window goes away while handling the first message
        return 0;
    });
    const std::vector<WindowMessage> run = ByteRun(5);
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        owner->SendMessages(run.data(), run.size());
        owner->SendMessages(run.data(), run.size());  // after the end: returns at once
        returned = true;
    });
    ASSERT_TRUE(WaitFor([&] { return returned.load(); }));
    sender.join();
    EXPECT_EQ(seen, std::vector<WPARAM>{0});
}

TEST(QtMessageOwner, DestroyedOwnerReleasesASenderThatNobodyServes) {
    int handled = 0;
    auto owner = std::make_unique<QtMessageOwner>([&](std::uint32_t, WPARAM, LPARAM) -> LRESULT {
        ++handled;
        return 0;
    });
    std::atomic<bool> sending{false};
    std::atomic<bool> returned{false};
    std::thread sender([&] {
        sending = true;
        owner->SendMessage(WM_SERIAL_RXBYTE, 1, 1);  // no event loop runs meanwhile
        returned = true;
    });
    while (!sending) {
        std::this_thread::yield();
    }
    QtMessageOwner* raw = owner.get();
    // Destroying the owner while the sender waits (or is about to post) must let it go.
    raw->Detach();
    sender.join();
    EXPECT_TRUE(returned);
    owner.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, 0);
}

TEST(QtMessageBox, BoxFromAnotherThreadIsShownOnTheUiThreadWhileItPumps) {
    MessageBoxHandler previous = SetMessageBoxHandler({});
    InstallQtMessageBoxHandler();
    QString shownText, shownCaption;
    bool shownOnUi = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::function<void()> closeBox = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, closeBox);
            return;
        }
        shownText = box->text();
        shownCaption = box->windowTitle();
        icon = box->icon();
        shownOnUi = QThread::currentThread() == qApp->thread();
        box->button(QMessageBox::Ok)->click();
    };
    QTimer::singleShot(10, closeBox);

    QtMessageOwner owner([](std::uint32_t, WPARAM, LPARAM) -> LRESULT { return 0; });
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        ShowMessageBox("WARNING:  ReadFile() Failed", "Application Error", MB_ICONERROR);
        returned = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!returned && std::chrono::steady_clock::now() < deadline) {
        owner.PumpPendingMessages();
    }
    worker.join();
    SetMessageBoxHandler(std::move(previous));
    EXPECT_TRUE(returned);
    EXPECT_EQ(shownText, QStringLiteral("WARNING:  ReadFile() Failed"));
    EXPECT_EQ(shownCaption, QStringLiteral("Application Error"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(shownOnUi);
}

}  // namespace
