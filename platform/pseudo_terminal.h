#pragma once
// A pseudo-terminal pair in raw mode: the master end plays the bus (a simulator or a test),
// the slave end is the "serial port" that the engine opens. Optionally published in
// PublishedPortsFolder() under a name, as a symbolic link to the slave path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PseudoTerminal {
public:
    // Opens the pair; throws std::runtime_error when the system refuses.
    // keepSlaveOpen: hold our own slave descriptor so that the master sees no hang-up
    // between clients (a simulator wants this; a test of a vanishing device does not).
    explicit PseudoTerminal(bool keepSlaveOpen = true);
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int MasterFd() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }
    // Our own slave descriptor (-1 when closed): lets a test look at the line settings and the
    // input queue of the tty that an engine holds exclusively.
    int SlaveFd() const { return m_slave; }

    // Publishes the slave as <folder>/<name>, creating the folder with mode 0700 when it is
    // missing; returns the link path. Throws when the folder is not private to the user (see
    // CheckPublishedPortsFolder) or the link can't be made.
    std::string Publish(const std::string& name);
    void Unpublish();

    // Writes all bytes to the master (the engine reads them from the slave).
    void Write(const std::vector<std::uint8_t>& bytes);
    // Reads what the engine wrote, waiting up to timeoutMs for the first byte and then until
    // `count` bytes arrived or the line stayed quiet for quietMs.
    std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs, int quietMs = 50);
    // Reads whatever is there now, without waiting.
    std::vector<std::uint8_t> ReadAvailable();

    // Closes the master: the slave side sees a hang-up, as when an adapter is pulled.
    void CloseMaster();
    void CloseSlave();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_linkPath;
};
