#include "link/link_manager.h"

namespace korvane {

LinkManager::LinkManager(MessageSink& sink) : ctx_(sink), udp_(ctx_) {}

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
        default:
            break;  // no link: nothing opens, the result stays as it was
    }
}

bool LinkManager::IsOpen() const {
    switch (active_.load()) {
        case LinkMode::Udp:
            return udp_.IsOpen();
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
        default:
            return;
    }
    ++close_count_;
}

void LinkManager::Exchange(const uint8_t* request, uint16_t length, uint32_t timeout_ms,
                           uint32_t read_timeout_ms) {
    (void)read_timeout_ms;
    switch (active_.load()) {
        case LinkMode::Udp:
            udp_.Exchange(request, length, timeout_ms * 1000u);
            break;
        default:
            break;
    }
}

}  // namespace korvane
