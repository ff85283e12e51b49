#pragma once
// The OSKAN channel page (tab 2): eight channel switches and the feedback check box.
// A child dialog of the main dialog's tab control; Enter and Escape inside it neither close
// nor hide it.
//
// Every action sends one ten-byte command to the device selected in the main dialog's device
// list; with no selection the user is told and nothing is sent. Switch positions and the check
// state are the page's own: they change only when clicked, whichever device is selected.

#include <array>
#include <map>

#include "bus/device_records.h"
#include "controls/switch_btn.h"
#include "platform/qt_dialog.h"

// Channel switch ids 1146..1153 (channel 1..8); each is also the message the switch sends.
inline constexpr int IDC_SW_CH1 = 1146;
inline constexpr int kOskanChannelCount = 8;
// Pixels between two channel switches.
inline constexpr int kOskanSwitchSpacing = 8;

class COskanDlg : public CDialog {
    Q_OBJECT
public:
    COskanDlg();

    // Found devices of this model by bus address, filled while a search runs.
    std::map<int, OrvalOskan> m_deviceMap;

    // Stores (or replaces) the record of the device at record.addr.
    void SetDeviceRecord(OrvalOskan record);
    // Enables or disables the eight channel switches, then the feedback check box.
    void EnableControls(bool enable);

    // Sends the channel command of channel `channelIndex` (0..7): its on code when the switch
    // has just moved to "ON" (previousState 0), its off code otherwise.
    void SendChannelCommand(int channelIndex, WPARAM previousState);
    // Sends feedback on (02 02) when the check box is checked, off (03 03) when it is not.
    void OnFeedbackCheck();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnOK() override {}
    void OnCancel() override {}
    // Switch notifications arrive here as CSwitchNotifyEvent.
    bool event(QEvent* e) override;

private:
    std::array<CSwitchBtn, kOskanChannelCount> m_swChannel;
};
