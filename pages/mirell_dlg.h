#pragma once
// The MIRELL sequencer page (tab 1): SCREEN, LIFTER, PROJECTOR and the switching sequence.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.
//
// Every action sends one ten-byte command to the device selected in the main dialog's device
// list; with no selection the user is told and nothing is sent. The switches' positions are
// the page's own: they move only when clicked, whichever device is selected.

#include <array>
#include <cstdint>
#include <map>

#include "bus/commands.h"
#include "bus/device_records.h"
#include "controls/switch_btn.h"
#include "platform/qt_dialog.h"

// Switch ids; each is also the message the switch sends the page.
inline constexpr int IDC_SW_SCREEN = 1124;
inline constexpr int IDC_SW_LIFTER = 1125;
inline constexpr int IDC_SW_PROJECTOR = 1126;
inline constexpr int IDC_SW_SEQ = 1127;

class CMirellDlg : public CDialog {
    Q_OBJECT
public:
    CMirellDlg();

    // Found devices of this model by bus address, filled while a search runs.
    std::map<int, OrvalMirell> m_deviceMap;

    // Stores (or replaces) the record of the device at record.addr.
    void SetDeviceRecord(OrvalMirell record);
    // The four state bytes of the device at `address`, or nullptr when none was found there.
    const std::array<std::uint8_t, 4>* GetDeviceState(int address) const;
    // Enables or disables the four switches, the two STOP buttons and "启用时序开关", in that
    // order. The hidden sequence buttons are left as they are.
    void EnableControls(bool enable);

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override {}
    void OnCancel() override {}
    // Switch notifications arrive here as CSwitchNotifyEvent.
    bool event(QEvent* e) override;

private:
    // Button handlers.
    void OnSeqOn();
    void OnSeqOff();
    void OnSeqSwitchEnable();
    void OnScreenStop();
    void OnLifterStop();
    // Switch handlers: previousState 0 = just moved to the upper half ("UP"/"ON"), 1 = to the
    // lower half (" DOWN "/" OFF ").
    void OnScreenSwitch(WPARAM previousState);
    void OnLifterSwitch(WPARAM previousState);
    void OnProjectorSwitch(WPARAM previousState);
    void OnSeqSwitch(WPARAM previousState);

    // Sends FA 08 <selected address> 00 00 00 45 function value 55, or tells the user that no
    // device is selected.
    void SendCommand(const MirellCommand& command);

    CSwitchBtn m_swScreen;
    CSwitchBtn m_swLifter;
    CSwitchBtn m_swProjector;
    CSwitchBtn m_swSeq;
};
