#include "session/bus_session.h"

#include <algorithm>

#include "bus/commands.h"

int g_portClosed = 1;

BusSession::BusSession(ISessionView& view) : m_view(view) {
    // Every session starts with the port closed.
    g_portClosed = 1;
}

BusSession::~BusSession() = default;

BusSession::OpenResult BusSession::Open(IMessageOwner* owner, const SerialPortEntry& port,
                                        const LineSettings& line) {
    if (IsOpen()) {
        return MonitorStarted() ? OpenResult::Open : OpenResult::OpenWithoutMonitor;
    }
    if (!m_port.OpenPort(owner, port, line)) {
        return OpenResult::Failed;
    }
    m_portOpen = m_port.StartMonitor() ? 1 : 0;
    g_portClosed = 0;
    m_controls = StatesAfterOpenClose(m_controls, true, m_tab);
    return m_portOpen ? OpenResult::Open : OpenResult::OpenWithoutMonitor;
}

void BusSession::Close() {
    m_port.ClosePort();
    m_portOpen = 0;
    g_portClosed = 1;
    m_controls = StatesAfterOpenClose(m_controls, false, m_tab);
}

void BusSession::CloseForShutdown() {
    if (m_portOpen) {
        m_port.ClosePort();
    }
}

void BusSession::ChangeTab(int tab) {
    m_tab = tab;
    if (const std::optional<std::uint8_t> type = TypeCodeForTab(tab)) {
        m_txFrame.WithLock([&](TxFrame::Bytes& bytes) { bytes[kPosType] = *type; });
    }
    m_controls = StatesAfterTabChange(m_controls, tab);
}

void BusSession::StartControls(bool portsFound) {
    m_controls = StatesAtStart(portsFound);
}

void BusSession::PortListChanged(std::size_t portCount) {
    m_controls = StatesAfterPortList(m_controls, IsOpen(), portCount);
}

void BusSession::SelectionChanged(std::optional<bool> selectedAddressed) {
    m_controls = StatesAfterSelection(m_controls, m_tab, selectedAddressed);
}

void BusSession::DispatchFrame(const std::uint8_t* frame) {
    m_dispatcher.DispatchFrame(frame);
    if (frame[kPosCommand] == kCmdAddressRequest) {
        if (m_dispatcher.LastRequestAnswered()) {
            m_view.OnAddressHandedOut(frame, m_dispatcher.LastAddressHandedOut());
        } else {
            m_view.OnAddressRequestUnanswered(frame);
        }
    }
    m_view.OnFrame(frame);
}

void BusSession::SendTxFrame(unsigned count) {
    m_txFrame.WithLock([&](TxFrame::Bytes& bytes) {
        m_port.SendBytes(bytes.data(), std::min<unsigned>(count, TxFrame::kSize));
    });
}

void BusSession::SendSearch() {
    BuildAndSend([&](TxFrame::Bytes& bytes) { return BuildSearchFrame(bytes, DeviceType()); });
}

void BusSession::StartAutoAssign(std::uint8_t first) {
    m_view.AddStatusLine("当前状态:设备自动分配地址模式");
    m_view.ScrollStatusToLastLine();
    BuildAndSend([](TxFrame::Bytes& bytes) { return BuildAutoAssignFrame(bytes); });
    m_dispatcher.StartAutoAssign(first);
}

bool BusSession::SendAddressWrite(std::uint8_t device, std::uint8_t newAddress,
                                  const std::array<std::uint8_t, 4>* mirellState) {
    const DeviceModelInfo* model = Model();
    if (model == nullptr) {
        return false;
    }
    switch (model->addressWrite) {
        case AddressWrite::ByState:
            if (!mirellState) {
                return false;
            }
            BuildAndSend([&](TxFrame::Bytes& bytes) {
                return BuildMirellAddressWrite(bytes, device, newAddress, *mirellState);
            });
            return true;
        case AddressWrite::ByteSix0x22:
            BuildAndSend([&](TxFrame::Bytes& bytes) {
                return BuildOskanAddressWrite(bytes, device, newAddress);
            });
            return true;
        case AddressWrite::None:
            return false;
    }
    return false;
}

void BusSession::SendAddressWriteNaming(std::uint8_t device, std::uint8_t newAddress,
                                        const std::array<std::uint8_t, 4>& identity) {
    // The MIRELL write's layout: bytes 2..5 device, 0, 0x22, new address; 6..9 the identity.
    BuildAndSend([&](TxFrame::Bytes& bytes) {
        return BuildMirellAddressWrite(bytes, device, newAddress, identity);
    });
}

void BusSession::SendReadConfig(std::uint8_t device) {
    BuildAndSend([&](TxFrame::Bytes& bytes) { return BuildReadConfigFrame(bytes, device); });
}
