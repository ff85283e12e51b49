#include "bus/bus_dispatch.h"

#include <algorithm>

#include "bus/bus_status.h"
#include "bus/commands.h"
#include "bus/device_models.h"
#include "bus/frame.h"

void BusDispatcher::ShowBusStatus(std::uint8_t command) {
    if (const char* text = BusStatusText(command)) {
        m_view.AddStatusLine(text);
    }
    m_view.ScrollStatusToLastLine();
}

void BusDispatcher::DispatchFrame(const std::uint8_t* frame) {
    const std::uint8_t command = frame[kPosCommand];
    ShowBusStatus(command);

    if (command == kCmdAddressRequest) {
        std::optional<std::uint8_t> chosen;
        if (m_chooser) {
            chosen = m_chooser(frame);
        } else {
            // 0 is the PC's own address: a counter at 0 (never started, or wrapped) hands out 1.
            chosen = m_nextAddress == kPcAddress ? kFirstDeviceAddress : m_nextAddress;
            m_nextAddress =
                *chosen == 0xFF ? kFirstDeviceAddress : static_cast<std::uint8_t>(*chosen + 1);
        }
        m_lastAnswered = chosen.has_value();
        if (!chosen) {
            return;
        }
        const std::uint8_t address = *chosen;
        m_txFrame.WithLock(
            [&](TxFrame::Bytes& b) { m_view.SendTxFrame(BuildAddressAnswer(b, frame, address)); });
        m_lastHandedOut = address;
        return;
    }

    if (command == kCmdFound) {
        const std::uint8_t address = frame[kPosSource];
        m_view.AddDeviceToList(address);
        std::array<std::uint8_t, 4> state;
        std::copy_n(frame + 6, 4, state.begin());
        // The page of the current tab keeps the record when its model keeps them; the type
        // byte of the frame is not compared with the tab.
        const DeviceModelInfo* model = ModelByTab(m_view.CurrentTab());
        if (model != nullptr && model->keepsFoundRecords) {
            switch (model->model) {
                case DeviceModel::Mirell:
                    m_view.SetMirellRecord(OrvalMirell{address, state});
                    break;
                case DeviceModel::Oskan:
                    m_view.SetOskanRecord(OrvalOskan{address, state});
                    break;
                case DeviceModel::Tarvo:
                    break;
            }
        }
    }
}

void BusDispatcher::OnLongReply(const TarvoConfigBlock& block) {
    const DeviceModelInfo* model = ModelByTab(m_view.CurrentTab());
    if (model != nullptr && model->readsConfig) {
        m_view.LoadTarvoConfig(block);
    }
}
