#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>

#include "system/display_path.h"
#include "transfer/transfer_figures.h"

namespace korvane::cli {

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    // JSON is UTF-8: bytes that are none (a file name, a word typed) read
    // \xNN, as file names do in the tool's messages.
    for (unsigned char c : EscapeInvalidUtf8(text)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out += esc;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

MessageKind Severity(MessageKind kind, TextId id) {
    if (kind == MessageKind::AppDefault && id == TextId::SerialOpenFailed)
        return MessageKind::Error;
    return kind;
}

void Output::Result(const std::string& plain,
                    const std::vector<std::pair<std::string, std::string>>& json_fields) {
    std::lock_guard lock(Lock());
    if (!json_) {
        out_ << plain << "\n" << std::flush;
        return;
    }
    out_ << "{\"event\":\"result\"" << panel_json_;
    for (const auto& [key, value] : json_fields)
        out_ << "," << JsonString(key) << ":" << value;
    out_ << "}\n" << std::flush;
}

void Output::Message(MessageKind kind, std::string_view text, std::optional<TextId> id,
                     std::string_view hint) {
    std::lock_guard lock(Lock());
    said_.store(true);
    if (json_) {
        out_ << "{\"event\":\"message\"" << panel_json_ << ",\"kind\":\"" << MessageKindName(kind)
             << "\"";
        if (id)
            out_ << ",\"id\":" << JsonString(TextName(*id));
        out_ << ",\"text\":" << JsonString(text);
        if (!hint.empty())
            out_ << ",\"hint\":" << JsonString(hint);
        out_ << "}\n" << std::flush;
        return;
    }
    // A progress line being drawn gives way; it is drawn again on its next step.
    if (progress_)
        progress_->Suspend();
    // One message per line block; a stored text that ends its own line
    // is not given a second line end.
    err_ << prefix_ << text;
    if (text.empty() || text.back() != '\n')
        err_ << "\n";
    if (!hint.empty())
        err_ << "korvane-cli: " << prefix_ << hint << "\n";
    err_ << std::flush;
}

void Output::SetPanel(int index, std::string_view target, std::mutex* shared) {
    panel_json_ = ",\"panel\":{\"index\":" + std::to_string(index) +
                  ",\"target\":" + JsonString(target) + "}";
    prefix_ = "panel " + std::to_string(index) + " (" + std::string(target) + "): ";
    shared_ = shared;
}

void Output::Verdict(LinkResult result) {
    std::lock_guard lock(Lock());
    if (!json_)
        return;
    out_ << "{\"event\":\"verdict\"" << panel_json_ << ",\"result\":\"" << LinkResultName(result)
         << "\",\"code\":" << static_cast<int>(result) << "}\n"
         << std::flush;
}

void Output::Verdict(std::string_view result, int code) {
    std::lock_guard lock(Lock());
    if (!json_)
        return;
    out_ << "{\"event\":\"verdict\"" << panel_json_ << ",\"result\":" << JsonString(result)
         << ",\"code\":" << code << "}\n"
         << std::flush;
}

void Output::Wait(WaitFor what, unsigned remaining_s) {
    std::lock_guard lock(Lock());
    if (!json_)
        return;
    out_ << "{\"event\":\"wait\"" << panel_json_ << ",\"for\":\"" << WaitForName(what)
         << "\",\"remaining_s\":" << remaining_s << "}\n"
         << std::flush;
}

const char* WaitForText(WaitFor what) {
    switch (what) {
        case WaitFor::FlashPrepare:
            return "the panel to erase the image's range";
        case WaitFor::Erase:
            return "the erase";
        case WaitFor::FinalResult:
            return "the final burn result";
    }
    return "the panel";
}

namespace {

unsigned WholeSeconds(uint32_t ms) {
    return (ms + 999) / 1000;
}

}  // namespace

void JsonWaits::Waiting(WaitFor what, uint32_t remaining_ms) {
    const unsigned s = WholeSeconds(remaining_ms);
    if (waiting_ == what && s == wait_s_)
        return;
    waiting_ = what;
    wait_s_ = s;
    out_.Wait(what, s);
}

void TerminalProgress::Waiting(WaitFor what, uint32_t remaining_ms) {
    std::lock_guard lock(mutex_);
    const unsigned s = WholeSeconds(remaining_ms);
    if (waiting_ == what && s == wait_s_ && drawn_)
        return;
    waiting_ = what;
    wait_s_ = s;
    Draw();
}

void Output::Problem(std::string_view text, MessageKind kind) {
    std::lock_guard lock(Lock());
    said_.store(true);
    if (json_) {
        out_ << "{\"event\":\"problem\"" << panel_json_ << ",\"kind\":\"" << MessageKindName(kind)
             << "\",\"text\":" << JsonString(text) << "}\n"
             << std::flush;
    }
    if (progress_)
        progress_->Suspend();
    // Each line of a longer explanation is the tool's.
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        err_ << "korvane-cli: " << prefix_ << text.substr(start, end - start) << "\n";
    }
    err_ << "korvane-cli: " << prefix_ << text.substr(start) << "\n" << std::flush;
}

TraceObserver::TraceObserver(std::ostream& err)
    : err_(err), start_(std::chrono::steady_clock::now()) {}

void TraceObserver::Line(const char* arrow, std::span<const uint8_t> bytes,
                         const std::string& note) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start_)
                        .count();
    std::string line;
    char head[48];
    std::snprintf(head, sizeof head, "[%10.6f] %s %4zu:", static_cast<double>(us) / 1e6, arrow,
                  bytes.size());
    line += head;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    line += note;
    std::lock_guard lock(mutex_);
    err_ << line << "\n" << std::flush;
}

namespace {

// One code point's columns: two for East Asian wide and full-width forms.
int CodePointColumns(uint32_t c) {
    if (c < 0x20)
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                      (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                      (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Calls `each(start, length, columns)` for each UTF-8 sequence.
template <typename Each>
void ForEachCodePoint(std::string_view text, Each each) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        n = std::min(n, text.size() - i);
        uint32_t c = n == 1 ? lead : lead & (0x7F >> n);
        for (size_t k = 1; k < n; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        each(i, n, CodePointColumns(c));
        i += n;
    }
}

int Columns(std::string_view text) {
    int columns = 0;
    ForEachCodePoint(text, [&](size_t, size_t, int w) { columns += w; });
    return columns;
}

}  // namespace

std::string FitToColumns(std::string_view text, int columns) {
    if (columns <= 0)
        return {};
    if (Columns(text) <= columns)
        return std::string(text);
    // "擦除Flash中......" keeps three of its dots first.
    std::string shorter(text);
    const size_t dots = shorter.find("....");
    if (dots != std::string::npos) {
        const size_t end = shorter.find_first_not_of('.', dots);
        shorter.erase(dots + 3, (end == std::string::npos ? shorter.size() : end) - dots - 3);
        if (Columns(shorter) <= columns)
            return shorter;
    }
    std::string out;
    int used = 0;
    bool full = false;
    ForEachCodePoint(shorter, [&](size_t at, size_t n, int w) {
        if (full || used + w > columns) {
            full = true;
            return;
        }
        used += w;
        out.append(shorter, at, n);
    });
    return out;
}

TerminalProgress::TerminalProgress(std::ostream& err, uint64_t total_bytes,
                                   std::function<int()> columns, UiLanguage language)
    : err_(err),
      columns_(std::move(columns)),
      language_(language),
      total_(total_bytes),
      started_(std::chrono::steady_clock::now()) {}

void TerminalProgress::MoveTo(int position) {
    std::lock_guard lock(mutex_);
    waiting_.reset();
    position_ = position;
    // A bar set back to its start is no progress: a run resets its bar after
    // its last message, and that must not draw the line again.
    if (position == lower_) {
        started_ = std::chrono::steady_clock::now();
        return;
    }
    Draw();
}

void TerminalProgress::Put(const std::string& line) {
    if (finished_)
        return;
    const int columns = columns_ ? columns_() : 0;
    // One column is left free: writing the last one would wrap on some terminals.
    err_ << "\r" << (columns > 1 ? FitToColumns(line, columns - 1) : line) << "\033[K"
         << std::flush;
    drawn_ = true;
}

void TerminalProgress::SetSpan(int lower, int upper) {
    std::lock_guard lock(mutex_);
    lower_ = lower;
    upper_ = upper;
    started_ = std::chrono::steady_clock::now();
}

void TerminalProgress::Step() {
    std::lock_guard lock(mutex_);
    waiting_.reset();
    if (position_ < upper_)
        ++position_;
    Draw();
}

void TerminalProgress::SetText(std::string_view text) {
    std::lock_guard lock(mutex_);
    waiting_.reset();
    // The core names its step with the stored text.
    text_ = InLanguage(text, language_);
    Draw();
}

void TerminalProgress::Finish() {
    std::lock_guard lock(mutex_);
    // The line has done its work; the run's messages stand alone.
    if (drawn_)
        err_ << "\r\033[K" << std::flush;
    drawn_ = false;
    finished_ = true;
}

void TerminalProgress::Suspend() {
    std::lock_guard lock(mutex_);
    if (drawn_)
        err_ << "\r\033[K" << std::flush;
    drawn_ = false;
}

void TerminalProgress::Draw() {
    // The run clears its bar when it ends: so does the line.
    if (text_.empty()) {
        if (drawn_)
            err_ << "\r\033[K" << std::flush;
        drawn_ = false;
        return;
    }
    if (waiting_) {
        Put(text_ + " waiting for " + WaitForText(*waiting_) + ", at most " +
            std::to_string(wait_s_) + " s more");
        return;
    }
    if (total_ == 0) {
        // A run without a size (erase): only what it waits for.
        Put(text_);
        return;
    }
    const double span = upper_ > lower_ ? upper_ - lower_ : 1;
    const double done = std::min(1.0, std::max(0.0, (position_ - lower_) / span));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    char head[32];
    std::snprintf(head, sizeof head, " %3.0f%% ", done * 100);
    Put(text_ + head + TransferFiguresText(MeasureTransfer(done, total_, seconds)));
}

}  // namespace korvane::cli
