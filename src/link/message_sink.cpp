#include "link/message_sink.h"

namespace korvane {

const char* MessageKindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error:
            return "error";
        case MessageKind::Plain:
            return "plain";
        case MessageKind::Warning:
            return "warning";
        case MessageKind::AppDefault:
            return "default";
    }
    return "unknown";
}

void RecordingSink::Show(MessageKind kind, std::string_view text) {
    std::lock_guard lock(mutex_);
    messages_.push_back({kind, std::string(text), std::nullopt});
}

void RecordingSink::ShowText(MessageKind kind, TextId id) {
    std::lock_guard lock(mutex_);
    messages_.push_back({kind, Text(id), id});
}

void RecordingSink::ShowFilled(MessageKind kind, TextId id, std::string_view text) {
    std::lock_guard lock(mutex_);
    messages_.push_back({kind, std::string(text), id});
}

const char* WaitForName(WaitFor what) {
    switch (what) {
        case WaitFor::FlashPrepare:
            return "flash_prepare";
        case WaitFor::Erase:
            return "erase";
        case WaitFor::FinalResult:
            return "final_result";
    }
    return "";
}

std::string_view InLanguage(std::string_view stored, UiLanguage language) {
    if (language == UiLanguage::Chinese || stored.empty())
        return stored;
    for (const TextEntry& entry : kTexts) {
        if (stored == entry.text)
            return entry.english;
    }
    return stored;
}

std::string FillText(TextId id, const TextValues& values, UiLanguage language) {
    std::string text = Text(id, language);
    for (const auto& [name, value] : values) {
        const std::string key = "{" + name + "}";
        for (size_t at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size()))
            text.replace(at, key.size(), value);
    }
    return text;
}

std::vector<TextId> RecordingSink::Ids() const {
    std::lock_guard lock(mutex_);
    std::vector<TextId> ids;
    for (const auto& m : messages_) {
        if (m.id)
            ids.push_back(*m.id);
    }
    return ids;
}

std::vector<Message> RecordingSink::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::string> RecordingSink::Texts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& m : messages_)
        texts.push_back(m.text);
    return texts;
}

void RecordingSink::Clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

}  // namespace korvane
