#pragma once
// Every text the core shows to the user, exactly as stored, each under a
// stable identifier. Front ends show the text and may pass the identifier on
// (the command line's JSON carries it), so that scripts and tests need not
// match the texts themselves.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "system/ui_language.h"

namespace korvane {

enum class TextId {
    // links
    SendFailed,
    ReadFailed,
    NetworkProblem,
    PeerClosed,
    ChecksumError,
    Timeout,
    SerialOpenFailed,
    UsbOpenFailed,
    LinkSetupFailed,
    RunActive,
    // panel operations
    JumperOff,
    NoUsbProgramming,
    EraseWait,
    EraseDone,
    EraseFailed,
    // programming runs
    JumperForUpdate,
    PacketChecksumFailed,
    KernelDownloaded,
    UpdateDone,
    UpdateFailed,
    ImageTooLarge,
    ImageReadFailed,
    ImageChanged,
    // the panel's reply statuses
    StatusBadIdent,
    StatusNoDownload,
    StatusFailed,
    StatusCheckFailed,
    StatusSucceeded,
    StatusBadVersion,
    StatusSetFailed,
    StatusSetDone,
    StatusBadAddress,
    StatusFlashWriteFailed,
    StatusTotalCheckFailed,
    StatusKernelChecksum,
    StatusDeleteFailed,
    StatusBlankCheckFailed,
    StatusAddressOutOfRange,
    StatusUnknown,
    // logo pictures
    LogoLargerThanScreen,
    LogoTooManyPixels,
    // progress bar
    ProgressKernel,
    ProgressFileSystem,
    ProgressBootLoader,
    ProgressLogo,
    ProgressErase,
    // input checks: why a value would cut the user off the panel
    InputAddressNoHost,
    InputAddressBroadcast,
    InputAddressLoopback,
    InputAddressMulticast,
    InputPortZero,
    InputMaskNotAMask,
    InputAddressIsSubnetNetwork,
    InputAddressIsSubnetBroadcast,
    InputGatewayOutsideSubnet,
    InputClockNotCalendar,
    InputClockYearOutOfRange,
    // One text per image kind: the kinds' names differ by language.
    InputKernelImageEmpty,
    InputFileSystemImageEmpty,
    InputBootLoaderImageEmpty,
    InputLogoImageEmpty,
    InputBootLoaderOverwritesKernel,
    InputKernelOverwritesFileSystem,
    // the run log
    RunLogWriteFailed,
    // beside a run's bar
    TransferFigures,
};

struct TextEntry {
    TextId id;
    const char* name;     // stable snake_case identifier
    const char* text;     // the text shown, Chinese as stored
    const char* english;  // the same text in English
};

// In the order of TextId.
inline constexpr TextEntry kTexts[] = {
    {TextId::SendFailed, "send_failed", "发送数据失败", "Sending data failed"},
    {TextId::ReadFailed, "read_failed", "读取数据失败", "Reading data failed"},
    {TextId::NetworkProblem, "network_problem", "网络问题", "Network problem"},
    {TextId::PeerClosed, "peer_closed", "服务器关闭连接", "The server closed the connection"},
    {TextId::ChecksumError, "checksum_error", "数据校验错误", "Data checksum error"},
    {TextId::Timeout, "timeout", "通讯超时", "Communication timed out"},
    {TextId::SerialOpenFailed, "serial_open_failed", "打开串口失败",
     "Could not open the serial port"},
    {TextId::UsbOpenFailed, "usb_open_failed", "打开USB端口失败", "Could not open the USB port"},
    {TextId::LinkSetupFailed, "link_setup_failed", "配置通讯参数失败!\n退出\n",
     "Could not set up the link!\n"},
    {TextId::RunActive, "run_active", "另一个操作正在进行，请等待其完成",
     "Another operation is running; wait for it to finish"},
    {TextId::JumperOff, "jumper_off", "请将屏跳线,置1-OFF,2-OFF",
     "Set the panel's jumpers to 1-OFF, 2-OFF"},
    {TextId::NoUsbProgramming, "no_usb_programming", "不能通过USB口进行烧写",
     "Programming over USB is not possible"},
    {TextId::EraseWait, "erase_wait", "请等待擦写Flash成功！", "Wait until the flash is erased!"},
    {TextId::EraseDone, "erase_done", "擦除完毕!", "Erase done!"},
    {TextId::EraseFailed, "erase_failed", "擦除有错误!", "Erase failed!"},
    {TextId::JumperForUpdate, "jumper_for_update", "请拨跳线1到指定位置\n进行系统更新\n",
     "Set jumper 1 to the update position\nfor a system update\n"},
    {TextId::PacketChecksumFailed, "packet_checksum_failed", "包校验错误,烧写失败",
     "Packet checksum error, programming failed"},
    {TextId::KernelDownloaded, "kernel_downloaded", "下载完成，请等待烧写成功！",
     "Download done; wait until the panel has programmed it!"},
    {TextId::UpdateDone, "update_done", "更新完毕!", "Update done!"},
    {TextId::UpdateFailed, "update_failed", "更新有错误!", "Update failed!"},
    {TextId::ImageTooLarge, "image_too_large", "文件过大,超出FLASH地址范围,不能烧写",
     "The file is too large for the flash address range and cannot be programmed"},
    {TextId::ImageReadFailed, "image_read_failed", "读取文件失败,烧写中断",
     "Reading the file failed; programming stopped"},
    {TextId::ImageChanged, "image_changed", "烧写中文件被改动,其余未再发送",
     "Image changed during the run; nothing more was sent"},
    {TextId::StatusBadIdent, "status_bad_ident", "失败，标识字串错误",
     "Failed: wrong identification string"},
    {TextId::StatusNoDownload, "status_no_download", "失败, 未能进入下载状态",
     "Failed: could not enter download mode"},
    {TextId::StatusFailed, "status_failed", "失败", "Failed"},
    {TextId::StatusCheckFailed, "status_check_failed", "校验失败", "Check failed"},
    {TextId::StatusSucceeded, "status_succeeded", "成功", "Succeeded"},
    {TextId::StatusBadVersion, "status_bad_version", "失败，版本号错误",
     "Failed: wrong version number"},
    {TextId::StatusSetFailed, "status_set_failed", "设置失败", "Setting failed"},
    {TextId::StatusSetDone, "status_set_done", "设置成功", "Set successfully"},
    {TextId::StatusBadAddress, "status_bad_address", "写入地址非法", "Invalid write address"},
    {TextId::StatusFlashWriteFailed, "status_flash_write_failed", "FLASH写入失败",
     "Flash write failed"},
    {TextId::StatusTotalCheckFailed, "status_total_check_failed", "写入总校验失败",
     "Total checksum of the write failed"},
    {TextId::StatusKernelChecksum, "status_kernel_checksum", "内核校验和错误，写入失败",
     "Kernel checksum error; write failed"},
    {TextId::StatusDeleteFailed, "status_delete_failed", "删除失败，中断下载",
     "Delete failed; download stopped"},
    {TextId::StatusBlankCheckFailed, "status_blank_check_failed", "查空失败，中断下载",
     "Blank check failed; download stopped"},
    {TextId::StatusAddressOutOfRange, "status_address_out_of_range", "写FLASH地址越界",
     "Flash write address out of range"},
    // A template: FillText puts the command and the status in.
    {TextId::StatusUnknown, "status_unknown", "失败，命令0x{command}返回未知状态{status}",
     "Failed: command 0x{command} returned unknown status {status}"},
    {TextId::LogoLargerThanScreen, "logo_larger_than_screen",
     "图片尺寸大于触摸屏的大小，打开图片错误！",
     "The picture is larger than the touch screen; cannot open the picture!"},
    {TextId::LogoTooManyPixels, "logo_too_many_pixels", "图片过大!", "The picture is too large!"},
    {TextId::ProgressKernel, "progress_kernel", "内核下载中....................",
     "Downloading the kernel...................."},
    {TextId::ProgressFileSystem, "progress_filesystem", "文件系统烧写中....................",
     "Programming the file system...................."},
    {TextId::ProgressBootLoader, "progress_bootloader", "更新BootLoader,请稍候..............",
     "Updating the boot loader, please wait.............."},
    {TextId::ProgressLogo, "progress_logo", "LOGO文件下载中....................",
     "Downloading the logo file...................."},
    {TextId::ProgressErase, "progress_erase", "擦除Flash中......", "Erasing the flash......"},
    {TextId::InputAddressNoHost, "input_address_no_host",
     "面板地址{address}：0.0.0.0不代表任何主机", "panel address {address}: 0.0.0.0 names no host"},
    {TextId::InputAddressBroadcast, "input_address_broadcast",
     "面板地址{address}：255.255.255.255是广播地址",
     "panel address {address}: 255.255.255.255 is the broadcast address"},
    {TextId::InputAddressLoopback, "input_address_loopback",
     "面板地址{address}：127.x.x.x是本机的回环网络",
     "panel address {address}: 127.x.x.x is this computer's own loopback network"},
    {TextId::InputAddressMulticast, "input_address_multicast",
     "面板地址{address}：从224.0.0.0起的地址是组播或保留地址",
     "panel address {address}: addresses from 224.0.0.0 on are multicast or reserved"},
    {TextId::InputPortZero, "input_port_zero", "面板端口0：不能向端口0发送数据",
     "panel port 0: no datagram can be sent to port 0"},
    {TextId::InputMaskNotAMask, "input_mask_not_a_mask",
     "子网掩码{mask}：掩码应是连续的1后跟0，例如255.255.255.0",
     "subnet mask {mask}: a mask is one or more leading ones followed by zeros, "
     "e.g. 255.255.255.0"},
    {TextId::InputAddressIsSubnetNetwork, "input_address_is_subnet_network",
     "面板地址{address}是其子网的网络地址（掩码{mask}）",
     "panel address {address} is the network address of its subnet (mask {mask})"},
    {TextId::InputAddressIsSubnetBroadcast, "input_address_is_subnet_broadcast",
     "面板地址{address}是其子网的广播地址（掩码{mask}）",
     "panel address {address} is the broadcast address of its subnet (mask {mask})"},
    {TextId::InputGatewayOutsideSubnet, "input_gateway_outside_subnet",
     "网关{gateway}不在面板的子网{subnet}（掩码{mask}）内，面板不能经它连接其他网络",
     "gateway {gateway} lies outside the panel's subnet {subnet} (mask {mask}); the panel will "
     "not reach other networks through it"},
    {TextId::InputClockNotCalendar, "input_clock_not_calendar", "{clock}不是有效的日期和时间",
     "{clock} is not a date and time of the calendar"},
    {TextId::InputClockYearOutOfRange, "input_clock_year_out_of_range",
     "年份{year}：面板只保存{first}到{last}年，不能报回其他年份",
     "year {year}: the panel keeps years {first} to {last} and could not report another back"},
    {TextId::InputKernelImageEmpty, "input_kernel_image_empty", "内核文件为空：不会写入任何内容",
     "the kernel image is empty: nothing will be written"},
    {TextId::InputFileSystemImageEmpty, "input_filesystem_image_empty",
     "文件系统文件为空：不会写入任何内容",
     "the filesystem image is empty: nothing will be written"},
    {TextId::InputBootLoaderImageEmpty, "input_bootloader_image_empty",
     "BootLoader文件为空：不会写入任何内容",
     "the bootloader image is empty: nothing will be written"},
    {TextId::InputLogoImageEmpty, "input_logo_image_empty", "LOGO文件为空：不会写入任何内容",
     "the logo image is empty: nothing will be written"},
    {TextId::InputBootLoaderOverwritesKernel, "input_bootloader_overwrites_kernel",
     "BootLoader文件有{bytes}字节（{hex}），从{start}写起会覆盖{next}处的内核（最多容纳{room}"
     "字节）",
     "the bootloader image is {bytes} bytes ({hex}); from {start} it would overwrite the kernel "
     "at {next} (at most {room} bytes fit)"},
    {TextId::InputKernelOverwritesFileSystem, "input_kernel_overwrites_filesystem",
     "内核文件有{bytes}字节（{hex}），从{start}写起会覆盖{next}处的文件系统（最多容纳{room}字节）",
     "the kernel image is {bytes} bytes ({hex}); from {start} it would overwrite the file system "
     "at {next} (at most {room} bytes fit)"},
    {TextId::RunLogWriteFailed, "run_log_write_failed", "无法写入运行记录 {file}：{reason}",
     "Cannot write the run log {file}: {reason}"},
    {TextId::TransferFigures, "transfer_figures", "{sent}/{total} 字节 {rate} KiB/s 剩余 {left} 秒",
     "{sent}/{total} bytes {rate} KiB/s {left}s left"},
};

constexpr bool TextsInIdOrder() {
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        if (static_cast<size_t>(kTexts[i].id) != i)
            return false;
    }
    return std::size(kTexts) == static_cast<size_t>(TextId::TransferFigures) + 1;
}
static_assert(TextsInIdOrder(), "one entry per TextId, in order");

// The stored text.
constexpr const char* Text(TextId id) {
    return kTexts[static_cast<size_t>(id)].text;
}
// The same text in English, for users who do not read Chinese.
constexpr const char* EnglishText(TextId id) {
    return kTexts[static_cast<size_t>(id)].english;
}
// The text in the language the user reads.
constexpr const char* Text(TextId id, UiLanguage language) {
    return language == UiLanguage::English ? EnglishText(id) : Text(id);
}
// The stable identifier, e.g. "send_failed".
constexpr const char* TextName(TextId id) {
    return kTexts[static_cast<size_t>(id)].name;
}

// The values of a template's placeholders: {"command", "2C"} fills "{command}".
using TextValues = std::vector<std::pair<std::string, std::string>>;

// A template's text, stored or English, with each "{name}" replaced by its
// value.
std::string FillText(TextId id, const TextValues& values,
                     UiLanguage language = UiLanguage::Chinese);

// A stored text of the catalogue in `language`; any other text as it is
// (for texts that reach a front end already made, such as a progress line).
std::string_view InLanguage(std::string_view stored, UiLanguage language);

}  // namespace korvane
