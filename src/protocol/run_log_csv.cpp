#include "protocol/run_log_csv.h"

namespace korvane {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

void WriteRunLogCsv(std::ostream& out, const std::vector<const RunRecord*>& records) {
    out << "time,front_end,target,panel_address,panel_port,jumper,step,kind,file,size,sha256,"
           "step_ms,step_verdict,duration_ms,verdict,messages\n";
    for (const RunRecord* r : records) {
        std::string messages;
        for (const RunMessage& m : r->messages) {
            if (!messages.empty())
                messages += " | ";
            messages += (m.id ? *m.id + ": " : std::string()) + m.text;
        }
        for (size_t i = 0; i < r->steps.size(); ++i) {
            const RunStep& s = r->steps[i];
            out << r->time << ',' << FrontEndName(r->front_end) << ',' << CsvField(r->target) << ','
                << r->panel_address.value_or("") << ','
                << (r->panel_port ? std::to_string(*r->panel_port) : "") << ','
                << (r->jumper ? std::to_string(*r->jumper) : "") << ',' << i + 1 << ','
                << CsvField(s.kind) << ',' << CsvField(s.file.value_or("")) << ','
                << (s.size ? std::to_string(*s.size) : "") << ',' << s.sha256.value_or("") << ','
                << s.duration_ms << ',' << RunVerdictName(s.verdict) << ',' << r->duration_ms << ','
                << RunVerdictName(r->verdict) << ',' << CsvField(messages) << '\n';
        }
    }
}

}  // namespace korvane
