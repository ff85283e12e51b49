#include "cli/bus_client.h"

#include <algorithm>

#include "bus/frame.h"
#include "cli/interrupt.h"
#include "platform/open_failure_hint.h"
#include "platform/system_error_text.h"

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::milliseconds;

// Batches of arrival times kept; a reply needs far fewer.
constexpr std::size_t kMaxArrivals = 4096;

}  // namespace

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
    // Start, data, parity and stop bits of one character.
    const unsigned bits = 1 + line.dataBits + (line.parity == Parity::None ? 0 : 1) +
                          (line.stopBits == StopBits::One ? 1 : 2);
    m_charTime = microseconds(line.baud > 0 ? bits * 1000000ull / line.baud : 0);
    m_opening = true;
    const BusSession::OpenResult opened = m_session.Open(&m_owner, port, line);
    m_opening = false;
    if (opened == BusSession::OpenResult::Failed) {
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

bool BusClient::Stopped() const {
    return m_failed.load() || InterruptSignal() != 0;
}

std::optional<std::string> BusClient::Failure() const {
    if (!m_failed.load()) {
        return std::nullopt;
    }
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void BusClient::HandleMessage(const WindowMessage& message) {
    if (message.message != WM_SERIAL_RXBYTE) {
        return;
    }
    bool batchStart = false;
    std::size_t batchSize = 0;
    const Clock::time_point arrival = ArrivalOfNextByte(&batchStart, &batchSize);
    const int stateBefore = m_session.Parser().State();
    m_session.HandleReceivedByte(static_cast<std::uint8_t>(message.wParam & 0xFF));
    ++m_handled;
    const int stateAfter = m_session.Parser().State();
    if (stateBefore == 1 && stateAfter == 2) {
        m_replySilence = microseconds(0);  // a frame begins
    } else if (stateBefore > 1 && batchStart) {
        // Inside a frame, a batch read after a gap: what the gap holds beyond the time its
        // own bytes took on the line (bytes that waited for the monitor) is silence.
        const auto gap = duration_cast<microseconds>(arrival - m_lastArrival);
        const auto silence = gap - m_charTime * static_cast<long>(batchSize);
        m_replySilence = std::max(m_replySilence, silence);
    }
    m_lastArrival = arrival;
}

BusClient::Clock::time_point BusClient::ArrivalOfNextByte(bool* batchStart,
                                                          std::size_t* batchSize) {
    std::lock_guard lock(m_mutex);
    // The batch holding byte m_handled: the first whose running total lies beyond it.
    while (!m_arrivals.empty() && m_arrivals.front().end <= m_handled) {
        m_arrivals.pop_front();
    }
    if (m_arrivals.empty()) {
        *batchStart = false;
        return Clock::now();  // read without a tap report (not expected): now is close enough
    }
    const Batch& batch = m_arrivals.front();
    *batchStart = m_handled + batch.size == batch.end;
    *batchSize = batch.size;
    return batch.time;
}

void BusClient::Pump(milliseconds duration) {
    m_owner.PumpUntil([this] { return Stopped(); }, duration);
}

bool BusClient::PumpUntil(const std::function<bool()>& pred, milliseconds timeout) {
    bool held = false;
    m_owner.PumpUntil([&] { return (held = pred()) || Stopped(); }, timeout);
    return held;
}

bool BusClient::SendAndWait(const std::function<void()>& send, milliseconds timeout) {
    const std::size_t before = m_writtenCount.load();
    send();
    return PumpUntil([&] { return m_writtenCount.load() > before; }, timeout);
}

std::vector<std::vector<std::uint8_t>> BusClient::WrittenFrames() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

std::size_t BusClient::BytesInNoFrame() const {
    const std::size_t pending = static_cast<std::size_t>(m_session.Parser().Count());
    return m_handled - std::min(m_handled, m_inFrames + pending);
}

void BusClient::OnWritten(const std::uint8_t* bytes, std::size_t count) {
    {
        std::lock_guard lock(m_mutex);
        m_written.emplace_back(bytes, bytes + count);
    }
    m_writtenCount.fetch_add(1);
}

void BusClient::OnReceived(std::size_t count) {
    std::lock_guard lock(m_mutex);
    m_read += count;
    m_arrivals.push_back({m_read, count, Clock::now()});
    while (m_arrivals.size() > kMaxArrivals) {
        m_arrivals.pop_front();
    }
}

void BusClient::OnFailure(const char* operation, int errorNumber, bool gone) {
    const std::string words = SystemErrorText(errorNumber);
    if (m_opening && !gone) {
        // While opening (on this thread): the line settings the port refused. It opens all the
        // same, with the settings it had.
        m_warnings.push_back("the port refused the line settings (" + words +
                             "); it keeps the ones it had");
        return;
    }
    std::lock_guard lock(m_mutex);
    if (!m_failed.load()) {
        m_failure = "the port failed: " + words +
                    (gone ? " (the device went away: unplugged, or the simulator ended)" : "");
        m_failed.store(true);
    }
    (void)operation;
}

void BusClient::LoadTarvoConfig(const TarvoConfigBlock& block) {
    // The parser's buffer still holds the head of the reply that ended here.
    ConfigReply reply;
    reply.source = m_session.Parser().Buffer()[kPosSource];
    reply.block = block;
    reply.longestSilence = duration_cast<milliseconds>(m_replySilence);
    m_configs.push_back(reply);
    m_inFrames += kLongReplyLength;
    m_lastFrame = Clock::now();
    if (m_listener) {
        m_listener->OnConfig(reply.source, block);
    }
}

void BusClient::OnFrame(const std::uint8_t* frame) {
    std::array<std::uint8_t, 10> copy;
    std::copy_n(frame, copy.size(), copy.begin());
    m_frames.push_back(copy);
    m_inFrames += kFrameLength;
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
    if (m_listener) {
        m_listener->OnFrame(frame);
    }
}

void BusClient::OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) {
    HandedOutAddress h{address, {}, false};
    std::copy_n(request + 6, 4, h.identity.begin());
    m_handedOut.push_back(h);
    if (m_listener) {
        m_listener->OnAddressHandedOut(request, address);
    }
}
