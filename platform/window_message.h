#pragma once
// Window messages as the engine and the controls exchange them with their owners. The numbers
// are those of the message maps; all are >= 1000, so each is also a valid QEvent::Type.

#include <cstddef>
#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_SERIAL_CTS_EVENT = WM_USER + 0x26B;  // 0x66B
inline constexpr std::uint32_t WM_SERIAL_RXBYTE = WM_USER + 0x270;     // 0x670

struct WindowMessage {
    std::uint32_t message;
    WPARAM wParam;
    LPARAM lParam;
};

// The receiver of an engine's messages (the owner window). SendMessages is SendMessageW for a
// run of messages: they are handled on the owner's thread, one by one in order, and the call
// returns once all were handled; called on the owner's own thread it is a direct call.
// PumpPendingMessages is the PeekMessage/DispatchMessage loop of a thread that waits: it
// handles what other threads have sent and are blocked on. Only the owner's thread calls it.
class IMessageOwner {
public:
    virtual ~IMessageOwner() = default;
    virtual void SendMessages(const WindowMessage* messages, std::size_t count) = 0;
    virtual void PumpPendingMessages() = 0;

    void SendMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        const WindowMessage m{message, wParam, lParam};
        SendMessages(&m, 1);
    }
};
