#include "bus/bus_status.h"

#include "bus/frame.h"

const char* BusStatusText(std::uint8_t command) {
    switch (command) {
        case kCmdAutoAssign:
            return "当前状态:设备自动分配地址模式";
        case kCmdAddressRequest:
            return "当前状态：正在分配地址……";
        case kCmdAddressAssign:
            return "当前状态->分配地址成功";
        case kCmdKeyMode:
            return "当前状态->设置按键模式和长按时间成功";
        case kCmdFunctionCodes:
            return "当前状态->设置按键功能码成功";
        case kCmdFound:
            return "当前状态->找到设备";
        default:
            return nullptr;
    }
}
