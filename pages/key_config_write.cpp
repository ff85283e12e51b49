#include "pages/key_config_write.h"

#include <QMetaObject>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "pages/page_host.h"
#include "pages/tarvo_dlg.h"
#include "platform/message_box.h"

namespace {

// Taken around posting a read to the UI thread and again before the UI thread runs it, so what
// the read captures is ordered before its use also for a thread checker that cannot see inside
// Qt's event queue.
std::mutex g_handOver;

}  // namespace

struct CKeyConfigWriter::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;  // guarded by mutex
    std::atomic<bool> running{true};

    // Waits for the pause between frames; false when told to stop meanwhile.
    bool Pause(std::chrono::milliseconds gap) {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, gap, [&] { return stop; });
    }

    // Runs f on the thread of `context` (the UI thread) and returns its result; nothing when the
    // sequence is told to stop first. The worker waits here without blocking the UI thread's
    // way out: Stop() releases it.
    template <class T, class F>
    static std::optional<T> OnUiThread(const std::shared_ptr<Shared>& shared, QObject* context,
                                       F f) {
        auto result = std::make_shared<std::optional<T>>();  // guarded by shared->mutex
        std::unique_lock posting(g_handOver);
        QMetaObject::invokeMethod(
            context,
            [shared, result, f] {
                { std::lock_guard order(g_handOver); }
                {
                    std::lock_guard lock(shared->mutex);
                    if (shared->stop) {
                        return;  // stopped: the host may be on its way out
                    }
                }
                T value = f();
                std::lock_guard lock(shared->mutex);
                *result = std::move(value);
                shared->changed.notify_all();
            },
            Qt::QueuedConnection);
        posting.unlock();
        std::unique_lock lock(shared->mutex);
        shared->changed.wait(lock, [&] { return result->has_value() || shared->stop; });
        if (shared->stop) {
            return std::nullopt;
        }
        return *result;
    }
};

CKeyConfigWriter::CKeyConfigWriter() = default;

CKeyConfigWriter::~CKeyConfigWriter() {
    Stop();
}

bool CKeyConfigWriter::Running() const {
    return m_shared && m_shared->running.load();
}

void CKeyConfigWriter::Stop() {
    if (m_shared) {
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->stop = true;
        }
        m_shared->changed.notify_all();
    }
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CKeyConfigWriter::OnWriteKeyConfig(CPageHost& host, CTarvoDlg& page, int currentTab) {
    // One sequence at a time: a second click while one runs would interleave its frames.
    if (Running()) {
        return;
    }
    if (m_worker.joinable()) {
        m_worker.join();  // the last sequence has ended; only its thread is left
    }
    if (!SelectedAddressOrTell(&host)) {
        return;
    }
    if (currentTab != 0) {
        return;
    }
    // A long-press entry that is no number has been prompted for; the value held before is
    // then checked and sent.
    page.UpdateData(true);
    const KeyConfigFields fields = page.Fields();
    if (const std::optional<KeyConfigRefusal> refusal = CheckKeyConfig(fields)) {
        // The long-press message is the plain one the window has always shown; the two later
        // checks warn.
        const unsigned flags =
            *refusal == KeyConfigRefusal::LongPressOutOfRange ? MB_OK : MB_OK | MB_ICONWARNING;
        ShowMessageBox(RefusalText(*refusal), kAppName, flags);
        return;
    }
    m_shared = std::make_shared<Shared>();
    m_worker = std::thread(WriteKeyConfigThread, m_shared, &host, &page, fields);
}

// The device list's selection and the page's flags, read on the UI thread at the time of each
// frame.
class CKeyConfigWriter::PageSource : public IKeyConfigSource {
public:
    PageSource(std::shared_ptr<Shared> shared, CPageHost* host, CTarvoDlg* page)
        : m_shared(std::move(shared)), m_host(host), m_page(page) {}

    std::optional<Target> TargetOf(KeyConfigStep step) override {
        bool (CTarvoDlg::*flag)() const = &CTarvoDlg::IsShortLongMode;
        if (step == KeyConfigStep::PressCodes) {
            flag = &CTarvoDlg::IsPressHex;
        } else if (step == KeyConfigStep::ReleaseCodes) {
            flag = &CTarvoDlg::IsReleaseHex;
        }
        // Nothing when stopping; no address when no device is selected any more, and then
        // nothing is sent blind.
        struct Read {
            std::optional<std::uint8_t> address;
            bool flag = false;
        };
        CPageHost* host = m_host;
        CTarvoDlg* page = m_page;
        const auto read = Shared::OnUiThread<Read>(m_shared, page, [host, page, flag] {
            return Read{host->SelectedDeviceAddress(), (page->*flag)()};
        });
        if (!read || !read->address) {
            return std::nullopt;
        }
        return Target{*read->address, read->flag};
    }

    std::optional<DeviceSerialFormat> SerialFormat() override {
        CTarvoDlg* page = m_page;
        const auto format = Shared::OnUiThread<std::optional<DeviceSerialFormat>>(
            m_shared, page, [page] { return page->SelectedSerialFormat(); });
        return format ? *format : std::nullopt;
    }

private:
    std::shared_ptr<Shared> m_shared;
    CPageHost* m_host;
    CTarvoDlg* m_page;
};

// Each frame built and handed over under the outgoing frame's lock, so it never mixes with a
// frame of the UI thread; the pauses end early when the writer is stopped.
class CKeyConfigWriter::PageLink : public IKeyConfigLink {
public:
    PageLink(std::shared_ptr<Shared> shared, CPageHost* host)
        : m_shared(std::move(shared)), m_host(host) {}
    bool Send(const Build& build) override {
        m_host->BuildAndSend(build);
        return true;
    }
    bool Pause(std::chrono::milliseconds gap) override { return m_shared->Pause(gap); }

private:
    std::shared_ptr<Shared> m_shared;
    CPageHost* m_host;
};

void CKeyConfigWriter::WriteKeyConfigThread(std::shared_ptr<Shared> shared, CPageHost* host,
                                            CTarvoDlg* page, KeyConfigFields fields) {
    struct Done {
        Shared& s;
        ~Done() { s.running = false; }
    } done{*shared};
    PageSource source(shared, host, page);
    PageLink link(shared, host);
    WriteKeyConfig(fields, source, link);
}
