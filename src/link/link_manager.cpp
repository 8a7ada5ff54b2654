#include "link/link_manager.h"

namespace korvane {

LinkManager::LinkManager(MessageSink& sink) : ctx_(sink), udp_(ctx_), serial_(ctx_), usb_(ctx_) {}

LinkManager::~LinkManager() {
    CloseLink();
}

void LinkManager::ResetLink() {
    ctx_.parser.Reset();
    ctx_.Set(LinkResult::Ok);
}

void LinkManager::OpenLink() {
    active_.store(settings_.mode);
    switch (active_.load()) {
        case LinkMode::Udp:
            udp_.Open(settings_.address, settings_.port);
            break;
        case LinkMode::Serial:
            serial_.SerialOpen(settings_);
            break;
        case LinkMode::Usb:
            usb_.Open(settings_);
            break;
        default:
            break;  // no link: nothing opens, the result stays as it was
    }
}

bool LinkManager::IsOpen() const {
    switch (active_.load()) {
        case LinkMode::Udp:
            return udp_.IsOpen();
        case LinkMode::Serial:
            return serial_.IsOpen();
        case LinkMode::Usb:
            return usb_.IsOpen();
        default:
            return false;
    }
}

void LinkManager::CloseLink() {
    if (!IsOpen())
        return;
    switch (active_.load()) {
        case LinkMode::Udp:
            udp_.Close();
            break;
        case LinkMode::Serial:
            serial_.Close();
            break;
        case LinkMode::Usb:
            usb_.Close();
            break;
        default:
            return;
    }
    ++close_count_;
}

void LinkManager::Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_ms,
                           uint32_t read_timeout_ms) {
    switch (active_.load()) {
        case LinkMode::Udp:
            udp_.Exchange(request, length, timeout_ms * 1000u);
            break;
        case LinkMode::Serial:
            serial_.SerialWrite(request, length, timeout_ms);
            serial_.SerialRead(read_timeout_ms ? read_timeout_ms : timeout_ms);
            break;
        case LinkMode::Usb:
            usb_.UsbWrite(request, length, timeout_ms);
            usb_.UsbRead(timeout_ms);
            break;
        default:
            break;
    }
}

}  // namespace korvane
