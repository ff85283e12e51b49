#include "app/window_project_bus.h"

#include <optional>

#include "app/ravlin_dlg.h"

CWindowProjectBus::~CWindowProjectBus() {
    StopAutoAssign();
}

void CWindowProjectBus::UseModel(DeviceModel model) {
    m_dlg.RunUseModel(model);
}

void CWindowProjectBus::SendSearch() {
    m_dlg.RunSearch();
}

void CWindowProjectBus::SendFrame(const Build& build) {
    m_dlg.Session().BuildAndSend(build);
}

void CWindowProjectBus::SendReadConfig(std::uint8_t address) {
    m_dlg.Session().SendReadConfig(address);
}

void CWindowProjectBus::StartAutoAssign(AddressChooser chooser) {
    m_dlg.Session().SetAddressChooser(
        [chooser = std::move(chooser)](const std::uint8_t* request) -> std::optional<std::uint8_t> {
            return chooser(request);
        });
    m_dlg.Session().StartAutoAssign(kFirstDeviceAddress);
}

void CWindowProjectBus::StopAutoAssign() {
    m_dlg.Session().SetAddressChooser(nullptr);
}
