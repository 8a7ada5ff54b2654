#include "link/link_manager.h"

#include "link/serial_link.h"
#include "link/udp_link.h"
#include "link/usb_link.h"

namespace korvane {

LinkManager::LinkManager(MessageSink& sink) : ctx_(sink), none_(ctx_) {}

LinkManager::~LinkManager() {
    CloseLink();
}

void LinkManager::ResetLink() {
    ctx_.parser.Reset();
    ctx_.cancel.store(false);
    ctx_.Set(LinkResult::Ok);
}

void LinkManager::TakeConfiguredMode() {
    const LinkMode mode = settings_.mode;
    Link* link = &none_;
    const std::lock_guard<std::mutex> lock(links_mutex_);
    const auto slot = [&](size_t i, auto make) {
        if (!links_[i])
            links_[i] = make();
        return links_[i].get();
    };
    switch (mode) {
        case LinkMode::Udp:
            link = slot(0, [&] { return std::make_unique<UdpLink>(ctx_); });
            break;
        case LinkMode::Serial:
            link = slot(1, [&] { return std::make_unique<SerialLink>(ctx_); });
            break;
        case LinkMode::Usb:
            link = slot(2, [&] { return std::make_unique<UsbLink>(ctx_); });
            break;
    }
    mode_.store(mode);
    active_.store(link);
}

void LinkManager::OpenLink() {
    TakeConfiguredMode();
    // The no-link opens nothing and leaves the result as it was.
    active().Open(settings_);
}

void LinkManager::CloseLink() {
    Link& link = active();
    if (!link.IsOpen())
        return;
    link.Close();
    ++close_count_;
}

void LinkManager::Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_ms,
                           uint32_t read_timeout_ms) {
    const uint32_t read_ms = read_timeout_ms ? read_timeout_ms : timeout_ms;
    Exchange(request, length, ExchangeTimeouts{timeout_ms, timeout_ms, read_ms, timeout_ms});
}

}  // namespace korvane
