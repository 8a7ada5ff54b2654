#pragma once
// Every text the core shows to the user, exactly as stored. Front ends show
// them through the message sink; tests compare against the same constants.

namespace korvane::msg {

inline constexpr char kSendFailed[] = "发送数据失败";
inline constexpr char kReadFailed[] = "读取数据失败";
inline constexpr char kNetworkProblem[] = "网络问题";
inline constexpr char kPeerClosed[] = "服务器关闭连接";
inline constexpr char kChecksumError[] = "数据校验错误";
inline constexpr char kTimeout[] = "通讯超时";
inline constexpr char kSerialOpenFailed[] = "打开串口失败";
inline constexpr char kUsbOpenFailed[] = "打开USB端口失败";
inline constexpr char kLinkSetupFailed[] = "配置通讯参数失败!\n退出\n";

}  // namespace korvane::msg

namespace korvane::msg {
// Shown when a second erase or programming run is asked for while one runs.
inline constexpr char kRunActive[] = "另一个操作正在进行，请等待其完成";
}  // namespace korvane::msg
