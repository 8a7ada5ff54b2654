#include "widgets/open_failure_sink.h"

#include <string>

namespace korvane {

void OpenFailureSink::ShowText(MessageKind kind, TextId id) {
    if (id == TextId::LinkSetupFailed && link_.active_mode() == LinkMode::Usb) {
        const DeviceError& e = link_.open_error();
        if (e.kind != DeviceErrorKind::None && !e.text.empty()) {
            inner_.ShowFilled(kind, TextId::UsbOpenFailed,
                              std::string(Text(TextId::UsbOpenFailed)) + "\n" + e.text);
            return;
        }
    }
    inner_.ShowText(kind, id);
}

}  // namespace korvane
