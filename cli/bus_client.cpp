#include "cli/bus_client.h"

#include <algorithm>

#include "bus/frame.h"
#include "platform/open_failure_hint.h"

BusClient::BusClient()
    : m_owner([this](const WindowMessage& m) { HandleMessage(m); },
              PlainMessageOwner::Mode::CallingThread) {
    m_session.Port().SetTap(this);
}

BusClient::~BusClient() {
    Close();
    m_session.Port().SetTap(nullptr);
}

bool BusClient::Open(const SerialPortEntry& port, const LineSettings& line, std::string* reason) {
    if (m_session.Open(&m_owner, port, line) == BusSession::OpenResult::Failed) {
        if (reason) {
            *reason = OpenFailureHint(port.path, m_session.Port().LastOpenError());
        }
        return false;
    }
    if (!m_session.MonitorStarted()) {
        if (reason) {
            *reason = "the port opened, but its monitor thread could not be started";
        }
        m_session.Close();
        return false;
    }
    return true;
}

void BusClient::Close() {
    if (!m_session.IsOpen()) {
        return;
    }
    m_session.Close();
}

void BusClient::HandleMessage(const WindowMessage& message) {
    if (message.message == WM_SERIAL_RXBYTE) {
        m_session.HandleReceivedByte(static_cast<std::uint8_t>(message.wParam & 0xFF));
    }
}

void BusClient::Pump(std::chrono::milliseconds duration) {
    m_owner.PumpUntil([] { return false; }, duration);
}

bool BusClient::PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    return m_owner.PumpUntil(pred, timeout);
}

bool BusClient::SendAndWait(const std::function<void()>& send, std::chrono::milliseconds timeout) {
    const std::size_t before = m_writtenCount.load();
    send();
    return m_owner.PumpUntil([&] { return m_writtenCount.load() > before; }, timeout);
}

std::vector<std::vector<std::uint8_t>> BusClient::WrittenFrames() const {
    std::lock_guard lock(m_writtenMutex);
    return m_written;
}

void BusClient::OnWritten(const std::uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard lock(m_writtenMutex);
        m_written.emplace_back(bytes, bytes + count);
    }
    m_writtenCount.fetch_add(1);
}

void BusClient::LoadTarvoConfig(const TarvoConfigBlock& block) {
    // The parser's buffer still holds the head of the reply that ended here.
    m_config = block;
    m_configSource = m_session.Parser().Buffer()[kPosSource];
    m_lastFrame = Clock::now();
}

void BusClient::OnFrame(const std::uint8_t* frame) {
    std::array<std::uint8_t, 10> copy;
    std::copy_n(frame, copy.size(), copy.begin());
    m_frames.push_back(copy);
    m_lastFrame = Clock::now();
    if (frame[kPosCommand] == kCmdFound) {
        FoundDevice d{frame[kPosSource], frame[kPosType], {}};
        std::copy_n(frame + 6, 4, d.state.begin());
        m_found.push_back(d);
    } else if (frame[kPosCommand] == kCmdAddressAssign) {
        // A device confirms its new address from that address.
        for (HandedOutAddress& h : m_handedOut) {
            if (!h.confirmed && h.address == frame[kPosSource]) {
                h.confirmed = true;
                break;
            }
        }
    }
}

void BusClient::OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) {
    HandedOutAddress h{address, {}, false};
    std::copy_n(request + 6, 4, h.identity.begin());
    m_handedOut.push_back(h);
}
