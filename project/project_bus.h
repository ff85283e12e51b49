#pragma once
// What a project run asks of the bus, and nothing more: the runs never block and never touch
// the engine; the program that drives them (orvalctl's pump loop, the window's session view and
// a timer) does these things on its owner thread and feeds the run what the bus brings.

#include <cstdint>
#include <functional>

#include "bus/device_models.h"
#include "bus/tx_frame.h"

class IProjectBus {
public:
    // Builds a frame in the outgoing frame and returns its length (bus/commands.h builders).
    using Build = std::function<unsigned(TxFrame::Bytes&)>;
    // The address a device's 0x21 request (its ten bytes) is to be given.
    using AddressChooser = std::function<std::uint8_t(const std::uint8_t* request)>;

    virtual ~IProjectBus() = default;
    // The bus commands go to `model` from now on (the window shows its tab).
    virtual void UseModel(DeviceModel model) = 0;
    // The search frame of the current model.
    virtual void SendSearch() = 0;
    // Builds and hands over one frame under the outgoing frame's lock (BuildAndSend).
    virtual void SendFrame(const Build& build) = 0;
    // The configuration read request (0x23) to `address`.
    virtual void SendReadConfig(std::uint8_t address) = 0;
    // The automatic-assignment announcement of the current model; from then on every address
    // request is answered with what `chooser` gives for it.
    virtual void StartAutoAssign(AddressChooser chooser) = 0;
    // Address requests are answered by the session's counter again, as in the window.
    virtual void StopAutoAssign() = 0;
};
