#pragma once
// A device that misbehaves on purpose, on a published pseudo-terminal: it hears what the PC
// sends (one request per burst, a burst ending with 20 ms of quiet) and answers as its script
// says, with whatever bytes, cuts and silences a test wants. For the faults the simulator's
// well-behaved devices never make.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/pseudo_terminal.h"

class ScriptedPeer {
public:
    using Bytes = std::vector<std::uint8_t>;
    // Called on the peer's thread with each request; answers with Write and Sleep.
    using Script = std::function<void(const Bytes& request, ScriptedPeer& peer)>;

    ScriptedPeer(const std::string& name, Script script);
    ~ScriptedPeer();

    const std::string& PortPath() const { return m_link; }
    void Write(const Bytes& bytes);
    static void Sleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }
    // The requests heard so far.
    std::vector<Bytes> Requests() const;
    // Closes the master end: the port hangs up, as when an adapter is pulled.
    void HangUp();

private:
    void Run();

    Script m_script;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::string m_link;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_requests;
    std::thread m_thread;
};

// A ten-byte frame from a device to the PC: FA type 00 source command b5..b9.
ScriptedPeer::Bytes DeviceFrame(std::uint8_t type, std::uint8_t source, std::uint8_t command,
                                std::initializer_list<std::uint8_t> data);
