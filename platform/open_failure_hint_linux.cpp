#include "platform/open_failure_hint_linux.h"

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/device_holders_linux.h"
#include "platform/system_error_text.h"

namespace {

// The device behind a published link, which is what other programs have open.
std::string ShownPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec || target == path) {
        return path;
    }
    return path + "（" + target.string() + "）";
}

}  // namespace

std::string OpenFailureHint(const std::string& path, int error) {
    return OpenFailureHint(path, error, "/proc");
}

std::string OpenFailureHint(const std::string& path, int error, const std::string& procRoot) {
    if (path.empty() || error == ENOENT || error == ENODEV || error == ENXIO) {
        return path.empty() ? "该串口已不存在：设备可能已被拔出。"
                            : path + " 已不存在：设备可能已被拔出。";
    }
    switch (error) {
        case EACCES:
        case EPERM: {
            // Debian gives serial adapters to the dialout group.
            return "没有权限打开 " + path +
                   "：用户需加入 dialout 组（sudo usermod -aG dialout $USER），重新登录后生效。";
        }
        case EBUSY:
        case EWOULDBLOCK: {
            const std::vector<DeviceHolder> holders = FindDeviceHolders(path, procRoot);
            if (holders.empty()) {
                return ShownPath(path) + " 正被其他程序占用。";
            }
            const DeviceHolder& holder = holders.front();
            const std::string pid = "进程 " + std::to_string(holder.pid);
            const std::string who = holder.name.empty() ? pid : holder.name + "（" + pid + "）";
            return ShownPath(path) + " 正被 " + who + " 占用。";
        }
        default:
            return "打开 " + path + " 失败：" + SystemErrorText(error) + "。";
    }
}
