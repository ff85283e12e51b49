#pragma once
// What a commissioning run in the project window hears of the bus: the main dialog hands on
// every complete ten-byte frame, each configuration reply with the address it came from, and
// each address the session gave a device, as they arrive on the UI thread.

#include <cstdint>

#include "bus/tarvo_config.h"

class IRunListener {
public:
    virtual ~IRunListener() = default;
    virtual void OnRunFrame(const std::uint8_t* frame /*10 bytes*/) = 0;
    virtual void OnRunConfig(std::uint8_t source, const TarvoConfigBlock& block) = 0;
    virtual void OnRunAddressHandedOut(const std::uint8_t* request /*10 bytes*/,
                                       std::uint8_t address) = 0;
};
