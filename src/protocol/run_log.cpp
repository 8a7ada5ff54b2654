#include "protocol/run_log.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "system/durable_append.h"
#include "system/file_open.h"
#include "system/program_files.h"

namespace korvane {

namespace fs = std::filesystem;

fs::path DefaultRunLogPath() {
    return UserDataFolder() / "runs.jsonl";
}

std::error_code AppendRunRecord(const fs::path& log, const RunRecord& record) {
    std::error_code ec;
    if (log.has_parent_path()) {
        fs::create_directories(log.parent_path(), ec);
        if (ec)
            return ec;
    }
    // A crash may have left the last line cut: the record starts a line of
    // its own rather than be glued to it and lost with it.
    std::string line;
    if (std::FILE* file = OpenFile(log, "rb")) {
        if (std::fseek(file, -1, SEEK_END) == 0 && std::fgetc(file) != '\n')
            line = "\n";
        std::fclose(file);
    }
    return AppendDurably(log, line + RunRecordLine(record) + "\n");
}

RunLogContents ReadRunLog(const fs::path& log) {
    RunLogContents out;
    std::FILE* file = OpenFile(log, "rb");
    if (!file) {
        // No run has been logged yet: an empty log, not a failure.
        if (errno != ENOENT)
            out.error = {errno, std::generic_category()};
        return out;
    }
    std::string text;
    char buffer[65536];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    if (std::ferror(file))
        out.error = std::make_error_code(std::errc::io_error);
    std::fclose(file);
    int number = 0;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (auto record = ParseRunRecord(line)) {
            out.records.push_back(std::move(*record));
            out.lines.emplace_back(line);
        } else
            out.damaged_lines.push_back(number);
    }
    return out;
}

}  // namespace korvane
