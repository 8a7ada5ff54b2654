#include "cli/log_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "protocol/run_log.h"
#include "protocol/run_log_csv.h"
#include "system/display_path.h"

namespace korvane::cli {

namespace {

// Digits only, exactly `count` of them, from `at`.
std::optional<int> Digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size())
        return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string MessageIds(const RunRecord& r) {
    std::string ids;
    for (const RunMessage& m : r.messages) {
        if (!ids.empty())
            ids += ' ';
        ids += m.id.value_or("-");
    }
    return ids;
}

void PrintTable(std::ostream& out, const std::vector<const RunRecord*>& records) {
    std::vector<std::vector<std::string>> rows = {{"TIME (UTC)", "FROM", "TARGET", "STEP", "FILE",
                                                   "BYTES", "SHA-256", "MS", "VERDICT",
                                                   "MESSAGES"}};
    for (const RunRecord* r : records) {
        for (const RunStep& s : r->steps) {
            rows.push_back({r->time, FrontEndName(r->front_end), r->target, s.kind,
                            s.file.value_or("-"), s.size ? std::to_string(*s.size) : "-",
                            s.sha256 ? s.sha256->substr(0, 12) : "-", std::to_string(s.duration_ms),
                            RunVerdictName(s.verdict), MessageIds(*r)});
        }
    }
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        out << line << '\n';
    }
}

int Log(CommandContext& c) {
    if (!c.inv().args.empty())
        return c.Usage("log takes only options");
    const auto& options = c.inv().options;
    std::optional<std::string> since;
    if (const auto it = options.find("--since"); it != options.end()) {
        since = SinceBound(it->second);
        if (!since) {
            return c.Usage("not a date YYYY-MM-DD or a UTC time YYYY-MM-DDTHH:MM[:SS]: " +
                           it->second);
        }
    }
    const bool csv = options.count("--csv") > 0;
    if (csv && c.inv().json)
        return c.Usage("give either --csv or --json, not both");

    const std::filesystem::path path = DefaultRunLogPath();
    const RunLogContents log = ReadRunLog(path);
    if (log.error) {
        return c.Problem(
            "cannot read the run log " + DisplayPath(path) + ": " + log.error.message(),
            LinkResult::FileError);
    }
    for (const int line : log.damaged_lines) {
        c.env().err << "korvane-cli: warning: " << DisplayPath(path) << " line " << line
                    << " is no whole record (cut short?) and was skipped\n";
    }
    std::vector<const RunRecord*> shown;
    std::vector<const std::string*> lines;
    for (size_t i = 0; i < log.records.size(); ++i) {
        if (since && log.records[i].time < *since)
            continue;
        shown.push_back(&log.records[i]);
        lines.push_back(&log.lines[i]);
    }
    std::ostream& out = c.env().out;
    if (c.inv().json) {
        for (const std::string* line : lines)
            out << *line << '\n';
    } else if (csv) {
        WriteRunLogCsv(out, shown);
    } else if (shown.empty()) {
        c.env().err << "korvane-cli: no runs logged" << (since ? " since " + *since : "") << " in "
                    << DisplayPath(path) << "\n";
    } else {
        PrintTable(out, shown);
    }
    out << std::flush;
    return 0;
}

}  // namespace

std::optional<std::string> SinceBound(std::string_view v) {
    const auto year = Digits(v, 0, 4);
    const auto month = Digits(v, 5, 2);
    const auto day = Digits(v, 8, 2);
    if (!year || !month || !day || v[4] != '-' || v[7] != '-')
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    int hour = 0, minute = 0, second = 0, milli = 0;
    std::string_view rest = v.substr(10);
    if (!rest.empty()) {
        const auto h = Digits(rest, 1, 2);
        const auto m = Digits(rest, 4, 2);
        if ((rest[0] != 'T' && rest[0] != ' ') || !h || !m || rest.size() < 6 || rest[3] != ':' ||
            *h > 23 || *m > 59)
            return std::nullopt;
        hour = *h;
        minute = *m;
        rest.remove_prefix(6);
        if (!rest.empty() && rest[0] == ':') {
            const auto s = Digits(rest, 1, 2);
            if (!s || *s > 59)
                return std::nullopt;
            second = *s;
            rest.remove_prefix(3);
            if (!rest.empty() && rest[0] == '.') {
                const auto ms = Digits(rest, 1, 3);
                if (!ms)
                    return std::nullopt;
                milli = *ms;
                rest.remove_prefix(4);
            }
        }
        if (rest == "Z")
            rest.remove_prefix(1);
        if (!rest.empty())
            return std::nullopt;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", *year, *month, *day,
                  hour, minute, second, milli);
    return text;
}

CliCommand LogCommand() {
    return {{"log",
             {"[--since DATE] [--csv | --json]"},
             "the runs made so far",
             "Prints the run log: one record per erase, programming run or clock setting made\n"
             "from the window or korvane-cli, with its target, the image's size and SHA-256,\n"
             "the verdict and the messages shown. A readable table by default; --csv gives a\n"
             "header row and a row per step, --json the records as stored, one per line. Times\n"
             "are UTC. The log is runs.jsonl in $XDG_DATA_HOME/korvane (~/.local/share/korvane;\n"
             "on Windows %LOCALAPPDATA%\\korvane); a damaged line is skipped with a warning.",
             "korvane-cli log --since 2026-03-01 --csv",
             {{"--since", "DATE",
               "only runs from DATE on (YYYY-MM-DD, or a UTC time\nYYYY-MM-DDTHH:MM:SS)"},
              {"--csv", "", "comma-separated values with a header row"}}},
            Log};
}

}  // namespace korvane::cli
