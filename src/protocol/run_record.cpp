#include "protocol/run_record.h"

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace korvane {

namespace {

using Json = nlohmann::json;

Json OrNull(const std::optional<std::string>& v) {
    return v ? Json(*v) : Json(nullptr);
}

template <typename T>
Json NumberOrNull(const std::optional<T>& v) {
    return v ? Json(*v) : Json(nullptr);
}

std::optional<RunVerdict> VerdictNamed(const Json& j) {
    if (!j.is_string())
        return std::nullopt;
    const auto& name = j.get_ref<const std::string&>();
    for (RunVerdict v : {RunVerdict::Succeeded, RunVerdict::Failed, RunVerdict::Cancelled}) {
        if (name == RunVerdictName(v))
            return v;
    }
    return std::nullopt;
}

// Reads an optional field: absent or null is nothing; another type than
// asked for makes the whole record unreadable.
bool OptionalString(const Json& o, const char* key, std::optional<std::string>& out) {
    const auto it = o.find(key);
    if (it == o.end() || it->is_null())
        return true;
    if (!it->is_string())
        return false;
    out = it->get<std::string>();
    return true;
}

template <typename T>
bool OptionalNumber(const Json& o, const char* key, std::optional<T>& out) {
    const auto it = o.find(key);
    if (it == o.end() || it->is_null())
        return true;
    if (!it->is_number_integer())
        return false;
    out = it->get<T>();
    return true;
}

bool Duration(const Json& o, int64_t& out) {
    const auto it = o.find("duration_ms");
    if (it == o.end() || !it->is_number_integer())
        return false;
    out = it->get<int64_t>();
    return true;
}

std::optional<RunStep> ParseStep(const Json& j) {
    if (!j.is_object())
        return std::nullopt;
    RunStep step;
    const auto kind = j.find("kind");
    const auto verdict = j.find("verdict");
    if (kind == j.end() || !kind->is_string() || verdict == j.end())
        return std::nullopt;
    step.kind = kind->get<std::string>();
    const auto v = VerdictNamed(*verdict);
    if (!v || !Duration(j, step.duration_ms) || !OptionalString(j, "file", step.file) ||
        !OptionalNumber(j, "size", step.size) || !OptionalString(j, "sha256", step.sha256))
        return std::nullopt;
    step.verdict = *v;
    return step;
}

}  // namespace

const char* FrontEndName(FrontEnd front_end) {
    return front_end == FrontEnd::Window ? "window" : "cli";
}

const char* RunVerdictName(RunVerdict verdict) {
    switch (verdict) {
        case RunVerdict::Succeeded:
            return "succeeded";
        case RunVerdict::Cancelled:
            return "cancelled";
        case RunVerdict::Failed:
            break;
    }
    return "failed";
}

RunVerdict VerdictOf(LinkResult result) {
    if (result == LinkResult::Ok)
        return RunVerdict::Succeeded;
    if (result == LinkResult::RunCancelled)
        return RunVerdict::Cancelled;
    return RunVerdict::Failed;
}

std::string RunRecordLine(const RunRecord& r) {
    // ordered_json: the fields stay in the order a reader of the file expects.
    using Ordered = nlohmann::ordered_json;
    Ordered steps = Ordered::array();
    for (const RunStep& s : r.steps) {
        steps.push_back(Ordered{{"kind", s.kind},
                                {"file", OrNull(s.file)},
                                {"size", NumberOrNull(s.size)},
                                {"sha256", OrNull(s.sha256)},
                                {"duration_ms", s.duration_ms},
                                {"verdict", RunVerdictName(s.verdict)}});
    }
    Ordered messages = Ordered::array();
    for (const RunMessage& m : r.messages)
        messages.push_back(Ordered{{"id", OrNull(m.id)}, {"text", m.text}});
    const Ordered line{{"time", r.time},
                       {"front_end", FrontEndName(r.front_end)},
                       {"target", r.target},
                       {"panel",
                        {{"address", OrNull(r.panel_address)},
                         {"port", NumberOrNull(r.panel_port)},
                         {"jumper", NumberOrNull(r.jumper)}}},
                       {"steps", steps},
                       {"duration_ms", r.duration_ms},
                       {"verdict", RunVerdictName(r.verdict)},
                       {"messages", messages},
                       {"batch", r.batch ? Ordered{{"id", r.batch->id}, {"row", r.batch->row}}
                                         : Ordered(nullptr)}};
    // A text that is no valid UTF-8 (a file name) is written with U+FFFD
    // rather than not at all.
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<RunRecord> ParseRunRecord(std::string_view line) {
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object())
        return std::nullopt;
    RunRecord r;
    const auto time = j.find("time");
    const auto front = j.find("front_end");
    const auto target = j.find("target");
    const auto panel = j.find("panel");
    const auto steps = j.find("steps");
    const auto verdict = j.find("verdict");
    const auto messages = j.find("messages");
    if (time == j.end() || !time->is_string() || front == j.end() || !front->is_string() ||
        target == j.end() || !target->is_string() || panel == j.end() || !panel->is_object() ||
        steps == j.end() || !steps->is_array() || verdict == j.end() || messages == j.end() ||
        !messages->is_array())
        return std::nullopt;
    r.time = time->get<std::string>();
    const std::string& front_name = front->get_ref<const std::string&>();
    if (front_name == FrontEndName(FrontEnd::Window))
        r.front_end = FrontEnd::Window;
    else if (front_name == FrontEndName(FrontEnd::Cli))
        r.front_end = FrontEnd::Cli;
    else
        return std::nullopt;
    r.target = target->get<std::string>();
    if (!OptionalString(*panel, "address", r.panel_address) ||
        !OptionalNumber(*panel, "port", r.panel_port) ||
        !OptionalNumber(*panel, "jumper", r.jumper))
        return std::nullopt;
    for (const Json& s : *steps) {
        auto step = ParseStep(s);
        if (!step)
            return std::nullopt;
        r.steps.push_back(std::move(*step));
    }
    const auto v = VerdictNamed(*verdict);
    if (!v || !Duration(j, r.duration_ms))
        return std::nullopt;
    r.verdict = *v;
    for (const Json& m : *messages) {
        RunMessage message;
        const auto text = m.is_object() ? m.find("text") : m.end();
        if (!m.is_object() || text == m.end() || !text->is_string() ||
            !OptionalString(m, "id", message.id))
            return std::nullopt;
        message.text = text->get<std::string>();
        r.messages.push_back(std::move(message));
    }
    // Records written before batches existed have no such field.
    if (const auto batch = j.find("batch"); batch != j.end() && !batch->is_null()) {
        const auto id = batch->is_object() ? batch->find("id") : batch->end();
        const auto row = batch->is_object() ? batch->find("row") : batch->end();
        if (!batch->is_object() || id == batch->end() || !id->is_string() || row == batch->end() ||
            !row->is_number_integer())
            return std::nullopt;
        r.batch = BatchTag{id->get<std::string>(), row->get<int>()};
    }
    return r;
}

std::string UtcTimestampNow() {
    const auto now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const auto day = std::chrono::floor<std::chrono::days>(now);
    const std::chrono::year_month_day ymd{day};
    const std::chrono::hh_mm_ss hms{now - day};
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<int>(hms.hours().count()),
                  static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
                  static_cast<int>(hms.subseconds().count()));
    return text;
}

}  // namespace korvane
