#pragma once
// The "写入" write sequence of the TARVO tab: four frames to the selected device, 100 ms apart,
// sent by a worker thread so that the window stays responsive:
//   0x26 key mode and long-press time, 0x27 first code set, 0x27 second code set,
//   0x25 the device's serial format.
// The worker reads the device-list selection (for each of the first three frames) and the
// page's controls at the time of each frame, on the UI thread; the code texts and the
// long-press time are those the click read from the page. Each frame is built and handed over
// under the outgoing frame's lock, so it never mixes with a frame of the UI thread.
//
// Owned by the main dialog, which must Stop() it (or destroy it) before the page, the
// outgoing frame or the serial engine go away.

#include <cstdint>
#include <memory>
#include <thread>

#include "session/key_config_sequence.h"

class CPageHost;
class CTarvoDlg;

class CKeyConfigWriter {
public:
    CKeyConfigWriter();
    ~CKeyConfigWriter();
    CKeyConfigWriter(const CKeyConfigWriter&) = delete;
    CKeyConfigWriter& operator=(const CKeyConfigWriter&) = delete;

    // The click of "写入", on the UI thread. Ignored while a sequence runs. Checks the
    // selection, the current tab (0 = TARVO, else nothing happens), reads the page's dialog
    // data and checks it (CheckKeyConfig: the long-press time, the code texts, the serial-format
    // lists), telling the user in a message box when something is wrong; then starts the worker
    // and returns at once.
    void OnWriteKeyConfig(CPageHost& host, CTarvoDlg& page, int currentTab);

    // Whether a sequence is running.
    bool Running() const;

    // Ends a running sequence: the worker sends no further frame and is joined. Safe on the UI
    // thread even while the worker waits for it (it waits without blocking on it).
    void Stop();

private:
    // What one sequence shares with the UI thread: its stop request and running flag. Each
    // sequence has its own, so a call left queued for the UI thread by a stopped sequence
    // sees that it was stopped.
    struct Shared;
    // The sequence's reads of the device list and the page, and its frames and pauses, from
    // the worker.
    class PageSource;
    class PageLink;

    // The worker: the one key-configuration sequence with the code texts and the long-press
    // time the click read.
    static void WriteKeyConfigThread(std::shared_ptr<Shared> shared, CPageHost* host,
                                     CTarvoDlg* page, KeyConfigFields fields);

    std::shared_ptr<Shared> m_shared;  // the current or last sequence
    std::thread m_worker;
};
