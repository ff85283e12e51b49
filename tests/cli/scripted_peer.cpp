#include "scripted_peer.h"

#include <poll.h>

ScriptedPeer::ScriptedPeer(const std::string& name, Script script)
    : m_script(std::move(script)), m_pty(std::make_unique<PseudoTerminal>()) {
    m_link = m_pty->Publish(name);
    m_thread = std::thread([this] { Run(); });
}

ScriptedPeer::~ScriptedPeer() {
    m_stop = true;
    m_thread.join();
    m_pty->Unpublish();
}

void ScriptedPeer::Write(const Bytes& bytes) {
    if (m_pty->MasterFd() >= 0) {
        m_pty->Write(bytes);
    }
}

std::vector<ScriptedPeer::Bytes> ScriptedPeer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedPeer::HangUp() {
    m_stop = true;
    m_thread.join();
    m_pty->CloseSlave();
    m_pty->CloseMaster();
    m_thread = std::thread([] {});
}

void ScriptedPeer::Run() {
    while (!m_stop) {
        pollfd p{m_pty->MasterFd(), POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) {
            continue;
        }
        Bytes request = m_pty->Read(4096, 20, 20);
        if (request.empty()) {
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(request);
        }
        m_script(request, *this);
    }
}

ScriptedPeer::Bytes DeviceFrame(std::uint8_t type, std::uint8_t source, std::uint8_t command,
                                std::initializer_list<std::uint8_t> data) {
    ScriptedPeer::Bytes f(10, 0);
    f[0] = 0xFA;
    f[1] = type;
    f[3] = source;
    f[4] = command;
    std::size_t i = 5;
    for (const std::uint8_t b : data) {
        if (i < f.size()) {
            f[i++] = b;
        }
    }
    return f;
}
