#include "pages/key_config_write.h"

#include <QMetaObject>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>

#include "bus/commands.h"
#include "bus/function_codes.h"
#include "pages/page_host.h"
#include "pages/tarvo_dlg.h"
#include "platform/message_box.h"

namespace {

constexpr auto kFrameGap = std::chrono::milliseconds(100);

std::u16string_view View(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

// Plain-character text (hex cleared) that holds a character with no single-byte form.
bool Unencodable(const QString& text, bool hex) {
    std::array<std::uint8_t, 260> buffer{};
    return !hex && CodeTextToBytes(View(text), false, buffer) == kCodeTextUnencodable;
}

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
    bool Pause() {
        std::unique_lock lock(mutex);
        return !changed.wait_for(lock, kFrameGap, [&] { return stop; });
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
    if (page.m_nLongPressMs < kMinLongPressMs || page.m_nLongPressMs > kMaxLongPressMs) {
        ShowMessageBox("长按时间有效值为600ms-10000ms之间!", kAppName, MB_OK);
        return;
    }
    if (Unencodable(page.m_strPressCodes, page.IsPressHex()) ||
        Unencodable(page.m_strReleaseCodes, page.IsReleaseHex())) {
        ShowMessageBox("功能码含有无法按单字节发送的字符!", kAppName, MB_OK | MB_ICONWARNING);
        return;
    }
    // A configuration read back with a rate or an index the lists don't have leaves a list
    // without a selection; there is no serial format to send then.
    if (!page.SelectedSerialFormat()) {
        ShowMessageBox("请选择设备串口配置的波特率、数据位、停止位和校验!", kAppName,
                       MB_OK | MB_ICONWARNING);
        return;
    }

    Inputs inputs{page.m_strPressCodes, page.m_strReleaseCodes, page.m_nLongPressMs};
    m_shared = std::make_shared<Shared>();
    m_worker = std::thread(WriteKeyConfigThread, m_shared, &host, &page, std::move(inputs));
}

void CKeyConfigWriter::WriteKeyConfigThread(std::shared_ptr<Shared> shared, CPageHost* host,
                                            CTarvoDlg* page, Inputs inputs) {
    struct Done {
        Shared& s;
        ~Done() { s.running = false; }
    } done{*shared};

    // The selected device's address and one page setting, read together on the UI thread.
    // Nothing when stopping; an empty address when no device is selected any more.
    struct Target {
        std::optional<std::uint8_t> address;
        bool flag = false;
    };
    const auto readTarget = [&](auto pageFlag) {
        return Shared::OnUiThread<Target>(shared, page, [host, page, pageFlag] {
            return Target{host->SelectedDeviceAddress(), (page->*pageFlag)()};
        });
    };

    // 0x26: key mode and long-press time.
    const auto mode = readTarget(&CTarvoDlg::IsShortLongMode);
    if (!mode || !mode->address) {
        return;  // stopped, or the device list lost its selection: nothing is sent blind
    }
    host->BuildAndSend([&](TxFrame::Bytes& bytes) {
        return BuildKeyModeFrame(bytes, *mode->address, mode->flag, inputs.longPressMs);
    });
    if (!shared->Pause()) {
        return;
    }

    // 0x27: the first code set, then the second.
    const struct {
        const QString& text;
        bool (CTarvoDlg::*hex)() const;
        bool firstSet;
    } sets[] = {{inputs.pressCodes, &CTarvoDlg::IsPressHex, true},
                {inputs.releaseCodes, &CTarvoDlg::IsReleaseHex, false}};
    for (const auto& set : sets) {
        const auto target = readTarget(set.hex);
        if (!target || !target->address) {
            return;
        }
        std::array<std::uint8_t, 260> codes{};
        int n = 0;
        if (!set.text.isEmpty()) {
            n = CodeTextToBytes(View(set.text), target->flag, codes);
            if (n == kCodeTextUnencodable) {
                return;  // the check box was cleared after the click: nothing more is sent
            }
        }
        host->BuildAndSend([&](TxFrame::Bytes& bytes) {
            return BuildFunctionCodesFrame(bytes, *target->address, set.firstSet, codes.data(),
                                           static_cast<std::size_t>(n));
        });
        if (!shared->Pause()) {
            return;
        }
    }

    // 0x25: the device's serial format; bytes 2 and 3 stay as the frame before left them.
    const auto format = Shared::OnUiThread<std::optional<DeviceSerialFormat>>(
        shared, page, [page] { return page->SelectedSerialFormat(); });
    if (!format || !*format) {
        return;
    }
    const DeviceSerialFormat& f = **format;
    host->BuildAndSend([&](TxFrame::Bytes& bytes) {
        return BuildSerialFormatFrame(bytes, f.baud, f.dataBitsIndex, f.stopBitsIndex,
                                      f.parityIndex);
    });
    shared->Pause();
}
