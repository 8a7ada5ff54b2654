#include "protocol/panel_operations.h"

#include "link/texts.h"
#include "protocol/command_codes.h"
#include "system/little_endian.h"

namespace korvane {

namespace {

// Claims the session; a refusal is shown and leaves the running operation
// alone (its link, reply and result are not touched).
bool Claim(PanelSession& s) {
    if (s.TryBeginRun())
        return true;
    s.sink().ShowText(MessageKind::Error, TextId::RunActive);
    return false;
}

// One page operation: claim, open, check the panel, run `steps` while Ok,
// close, release. False when refused. With `record`, the operation is a run
// of the run log under that kind.
template <typename Steps>
bool PageOperation(PanelSession& s, Steps steps, const char* record = nullptr) {
    if (!Claim(s))
        return false;
    if (record)
        s.BeginRecord(record);
    LinkManager& link = s.link();
    link.ResetLink();
    link.OpenLink();
    if (link.result() == LinkResult::OpenFailed) {
        s.sink().ShowText(MessageKind::Error, TextId::LinkSetupFailed);
    } else {
        s.QueryState();
        if (link.result() == LinkResult::Ok)
            steps();
    }
    link.CloseLink();
    s.EndRun();
    return true;
}

bool SaveNetwork(PanelSession& s, const NetworkTexts* values, const SettingsFile* settings) {
    if (!values || !settings)
        return true;
    const LinkResult r = settings->SavePanelNetwork(values->ToRecord());
    s.link().set_result(r);
    return r == LinkResult::Ok;
}

// The classic 15-bit generator, seeded with the time, so that a MAC made in
// a given second is reproducible.
class Rand15 {
  public:
    explicit Rand15(uint32_t seed) : state_(seed) {}
    uint32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return (state_ >> 16) & 0x7FFF;
    }

  private:
    uint32_t state_;
};

}  // namespace

std::string PanelAddress::IpText() const {
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." +
           std::to_string(ip[3]);
}

PanelNetworkRecord NetworkTexts::ToRecord() const {
    PanelNetworkRecord r;
    r.address = ParseDottedLoose(ip);
    r.port = ParsePortLoose(port);
    r.gateway = ParseDottedLoose(gateway);
    r.mask = ParseDottedLoose(mask);
    return r;
}

SixBytes GenerateMac(uint64_t seconds) {
    Rand15 rand(static_cast<uint32_t>(seconds));
    uint64_t v = rand.Next();
    for (int i = 0; i < 4; ++i)
        v = (v << 15) ^ rand.Next();
    return {0x00,
            0x4F,
            0x9A,
            static_cast<uint8_t>((v & 0xFF) | 0x80),
            static_cast<uint8_t>((v >> 8) & 0xFF),
            static_cast<uint8_t>(((v >> 16) & 0xFF) & 0xFE)};
}

std::optional<uint8_t> QueryPanelState(PanelSession& s) {
    std::optional<uint8_t> jumper;
    PageOperation(s, [&] { jumper = s.Jumper(); });
    return jumper;
}

std::optional<PanelAddress> GetPanelAddress(PanelSession& s) {
    std::optional<PanelAddress> out;
    PageOperation(s, [&] {
        s.GetParameter(cmd::kItemAddress);
        if (s.result() != LinkResult::Ok)
            return;
        const FrameBuffer& r = s.reply();
        PanelAddress a;
        for (int i = 0; i < 4; ++i)
            a.ip[i] = r[reply_offset::kAddress + i];
        a.port = ReadLe16(&r[reply_offset::kPort]);
        out = a;
    });
    return out;
}

bool SetPanelAddress(PanelSession& s, const NetworkTexts& values, const SettingsFile* settings) {
    bool done = false;
    PageOperation(s, [&] {
        if (!SaveNetwork(s, &values, settings))
            return;
        const PanelNetworkRecord r = values.ToRecord();
        s.SetParameter(cmd::kItemAddress, AddressValue(r.address, r.port), false);
        if (s.result() != LinkResult::Ok)
            return;
        s.SetParameter(cmd::kItemGateway, AddressValue(r.gateway, 0), false);
        if (s.result() != LinkResult::Ok)
            return;
        s.SetParameter(cmd::kItemMask, AddressValue(r.mask, 0), true);
        done = s.result() == LinkResult::Ok;
    });
    return done;
}

bool ChangeMac(PanelSession& s, uint64_t seconds) {
    bool done = false;
    PageOperation(s, [&] {
        s.SetParameter(cmd::kItemMac, GenerateMac(seconds), true);
        done = s.result() == LinkResult::Ok;
    });
    return done;
}

std::optional<ClockValue> GetPanelClock(PanelSession& s, const NetworkTexts* values,
                                        const SettingsFile* settings) {
    std::optional<ClockValue> out;
    PageOperation(s, [&] {
        if (!SaveNetwork(s, values, settings))
            return;
        s.GetClock();
        if (s.result() == LinkResult::Ok)
            out = ReadClockReply(s.reply());
    });
    return out;
}

bool SetPanelClock(PanelSession& s, const ClockValue& clock, const NetworkTexts* values,
                   const SettingsFile* settings) {
    bool done = false;
    PageOperation(
        s,
        [&] {
            if (!SaveNetwork(s, values, settings))
                return;
            s.SetClock(clock);
            done = s.result() == LinkResult::Ok;
        },
        "clock");
    return done;
}

bool RunEndDownload(PanelSession& s) {
    bool done = false;
    PageOperation(s, [&] {
        const uint8_t jumper = s.Jumper();
        if (jumper == 1) {
            s.sink().ShowText(MessageKind::Error, TextId::JumperOff);
        } else if (jumper == 2) {
            s.EndDownload();
            done = s.result() == LinkResult::Ok;
            return;
        }
        // Nothing was sent: the panel was not where the command could work.
        s.link().set_result(LinkResult::PanelRefused);
    });
    return done;
}

bool RunEnterDownload(PanelSession& s) {
    bool done = false;
    PageOperation(s, [&] {
        if (s.Jumper() == 1) {
            s.sink().ShowText(MessageKind::Warning, TextId::JumperOff);
            s.link().set_result(LinkResult::PanelRefused);
            return;
        }
        s.EnterDownload(1);
        if (s.result() != LinkResult::Ok)
            return;
        s.ApplyReplyStatus(true);
        if (s.result() != LinkResult::Ok)
            return;
        s.VersionHandshake();
        done = s.result() == LinkResult::Ok;
    });
    return done;
}

bool BeginFlashRun(PanelSession& s, const char* kind) {
    LinkManager& link = s.link();
    if (!Claim(s))
        return false;
    s.BeginRecord(kind);
    link.ResetLink();
    link.TakeConfiguredMode();
    if (!link.properties().programs) {
        s.sink().ShowText(MessageKind::Error, TextId::NoUsbProgramming);
        // Not a result the run itself could have: the link cannot serve it.
        link.set_result(LinkResult::OpenFailed);
        s.EndRun();
        return false;
    }
    link.OpenLink();
    if (link.result() == LinkResult::OpenFailed) {
        s.sink().ShowText(MessageKind::Error, TextId::LinkSetupFailed);
        link.CloseLink();
        s.EndRun();
        return false;
    }
    return true;
}

bool StartEraseFlash(PanelSession& s, ProgressSink& progress,
                     PanelSession::RunFinished on_finished) {
    LinkManager& link = s.link();
    if (!BeginFlashRun(s, "erase"))
        return false;
    s.StartWorker(
        [&s, &link, &progress] {
            s.QueryState();
            if (link.result() != LinkResult::Ok) {
                link.CloseLink();
                return;
            }
            {
                const LinkManager::WaitScope wait(link, WaitFor::Erase, progress);
                s.SendEraseRequest();
            }
            // The erase is a flash-prepare of the whole flash: its reply
            // carries the same refusals, on every link.
            bool refused = false;
            if (link.result() == LinkResult::Ok &&
                link.reply()[frame_offset::kCommand] == cmd::kFlashPrepare) {
                s.ApplyReplyStatus(false);
                refused = link.result() != LinkResult::Ok;
            }
            if (link.result() == LinkResult::RunCancelled) {
                // The user stopped the wait; nothing more to say.
            } else if (refused) {
                s.sink().ShowText(MessageKind::Error, TextId::EraseFailed);
            } else if (link.properties().erase_answer_final) {
                if (link.result() == LinkResult::Ok) {
                    s.sink().ShowText(MessageKind::Plain, TextId::EraseDone);
                } else {
                    s.sink().ShowText(MessageKind::Error, TextId::EraseFailed);
                }
            } else {
                // Over the network the panel goes on erasing after it answers:
                // the user is asked to wait for it whatever the reply said.
                s.sink().ShowText(MessageKind::AppDefault, TextId::EraseWait);
                link.set_result(LinkResult::Ok);
            }
            progress.MoveTo(0);
            progress.SetText("");
            link.CloseLink();
        },
        std::move(on_finished));
    return true;
}

}  // namespace korvane
