#include "cli/batch_command.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <set>

#include <nlohmann/json.hpp>

#include "cli/batch_board.h"
#include "cli/cli_args.h"
#include "cli/discover_command.h"
#include "cli/logo_commands.h"
#include "discovery/discover_panels.h"
#include "protocol/run_recorder.h"
#include "system/display_path.h"
#include "transfer/batch_run.h"
#include "transfer/batch_targets.h"
#include "transfer/image_kind.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr char kSeparator[] = "+";

constexpr size_t kMaxTargets = kMaxBatchRange;

// "ADDR[:PORT]"; the problem when it is none.
std::optional<std::string> ParseUdpTarget(const std::string& text, uint16_t port,
                                          std::vector<LinkSettings>& out) {
    const auto target = ReadUdpBatchTarget(text, port);
    if (const auto* fault = std::get_if<BatchEntryFault>(&target)) {
        const size_t colon = text.find(':');
        if (*fault == BatchEntryFault::BadPort)
            return "not a port from 1 to 65535: " + text.substr(colon + 1);
        return "not an IPv4 address: " + text.substr(0, colon);
    }
    out.push_back(std::get<LinkSettings>(target));
    return std::nullopt;
}

struct Plan {
    std::vector<LinkSettings> targets;
    std::vector<BatchStep> steps;
    std::vector<std::string> step_names;  // "flash kernel zImage", for the lines
    int jobs = 0;
    // --discover: the search's options (--range, --port), whose panels join
    // the targets once the rest of the line has been read.
    std::optional<std::map<std::string, std::string>> discover;
};

using Images = std::map<fs::path, std::shared_ptr<const SharedImage>>;

// What the words of one step name: a flash or set-clock, checked and ready
// (images read, logos converted); or the exit status after saying why not.
// `where` begins each usage error (the job file and step).
std::optional<int> ReadStep(CommandContext& c, const std::vector<std::string>& words, Plan& plan,
                            Images& images, const std::string& where = {}) {
    auto usage = [&](const std::string& problem) { return c.Usage(where + problem); };
    std::vector<std::string> args;
    std::map<std::string, std::string> options;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--model" || w == "--screen" || w == "--background" || w == "-o") {
            if (i + 1 == words.size())
                return usage(w + " needs a value");
            options[w] = words[++i];
        } else if (w.size() > 1 && w[0] == '-' && !(w[1] >= '0' && w[1] <= '9')) {
            return usage("a batch step takes no option " + w);
        } else {
            args.push_back(w);
        }
    }
    std::string name = words[0];
    for (size_t i = 1; i < words.size(); ++i)
        name += " " + words[i];
    if (words[0] == "set-clock") {
        if (!options.empty())
            return usage("set-clock takes no option " + options.begin()->first);
        BatchStep step;
        step.kind = BatchStep::Kind::SetClock;
        if (!args.empty() && !(args.size() == 1 && args[0] == "now")) {
            const std::string text = args.size() == 2 ? args[0] + " " + args[1] : args[0];
            const auto parsed = args.size() <= 2 ? ParseClock(text) : std::nullopt;
            if (!parsed)
                return usage("set-clock in a batch takes now or \"YYYY-MM-DD HH:MM:SS\", not " +
                             text);
            step.clock = parsed;
        }
        if (c.Refuses(CheckPanelClock(step.clock ? *step.clock : LocalNow())))
            return kRefusedInput;
        plan.steps.push_back(step);
        plan.step_names.push_back(name);
        return std::nullopt;
    }
    if (words[0] != "flash") {
        return usage("a batch step is flash KIND FILE or set-clock [now|DATE TIME], not " +
                     words[0]);
    }
    if (args.size() != 2)
        return usage("flash needs a kind (kernel, bootloader, filesystem, logo) and a file");
    const ImageKindInfo* kind = nullptr;
    for (const ImageKindInfo& k : kImageKinds) {
        if (args[0] == k.name)
            kind = &k;
    }
    if (!kind)
        return usage("unknown image kind " + args[0] + " (kernel, bootloader, filesystem, logo)");
    fs::path image = args[1];
    if (kind->kind == ImageKind::Logo) {
        // The logo is made once, with the options of this step, as flash logo makes it.
        const auto saved = c.inv().options;
        c.inv().options = options;
        const auto target = ReadLogoTarget(c);
        std::optional<fs::path> logo;
        if (const LogoTarget* t = std::get_if<LogoTarget>(&target))
            logo = ConvertLogo(c, image, *t);
        c.inv().options = saved;
        if (const int* status = std::get_if<int>(&target))
            return *status;
        if (!logo)
            return static_cast<int>(LinkResult::FileError);
        image = *logo;
    } else if (!options.empty()) {
        return usage("flash " + args[0] + " takes no option " + options.begin()->first);
    }
    auto& shared = images[image];
    if (!shared) {
        auto loaded = SharedImage::Load(image);
        if (const auto* ec = std::get_if<std::error_code>(&loaded)) {
            return c.Problem("cannot read the image " + DisplayPath(image) + ": " + ec->message(),
                             LinkResult::FileError);
        }
        shared = std::get<std::shared_ptr<const SharedImage>>(std::move(loaded));
    }
    if (c.Refuses(CheckImageSize(kind->kind, shared->bytes().size())))
        return kRefusedInput;
    BatchStep step;
    step.kind = BatchStep::Kind::Flash;
    step.image_kind = kind->kind;
    step.image = shared;
    plan.steps.push_back(step);
    plan.step_names.push_back(name);
    return std::nullopt;
}

// The targets file: one target per line, ADDR[:PORT] or a serial device;
// empty lines and lines starting with # are skipped.
std::optional<int> ReadTargetsFile(CommandContext& c, const fs::path& file, uint16_t port,
                                   Plan& plan) {
    std::ifstream in(file);
    if (!in)
        return c.Problem("cannot read the targets file " + DisplayPath(file),
                         LinkResult::FileError);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        const std::string word = line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
        if (NamesSerialDevice(word)) {
            plan.targets.push_back(SerialBatchTarget(word));
        } else if (const auto problem = ParseUdpTarget(word, port, plan.targets)) {
            return c.Usage("the targets file " + DisplayPath(file) + ", line " +
                           std::to_string(number) + ": " + *problem);
        }
    }
    return std::nullopt;
}

// Takes a job file's syntax without building anything, to tell where the
// first error is: the values are read afterwards, without exceptions.
class SyntaxCheck : public nlohmann::json_sax<Json> {
  public:
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t, const std::string&,
                     const nlohmann::detail::exception& e) override {
        // "[json.exception.parse_error.101] parse error at line 2, column 5: ..."
        error = e.what();
        if (const size_t end = error.find("] "); error.rfind("[json.", 0) == 0 && end != error.npos)
            error.erase(0, end + 2);
        return false;
    }
    std::string error;
};

// The step of a job file as the words of the command line, the file names
// taken from the job file's folder; the problem when it is none.
std::variant<std::vector<std::string>, std::string> JobStepWords(const Json& step,
                                                                 const fs::path& folder) {
    if (!step.is_object())
        return std::string(
            "a step is an object, e.g. {\"flash\": \"kernel\", \"file\": \"zImage\"}");
    auto text = [&](const char* key) -> std::optional<std::string> {
        const auto it = step.find(key);
        if (it == step.end() || !it->is_string())
            return std::nullopt;
        return it->get<std::string>();
    };
    auto in_folder = [&](const std::string& name) {
        const fs::path path(name);
        return (path.is_relative() ? folder / path : path).string();
    };
    const bool flash = step.contains("flash"), clock = step.contains("set-clock");
    if (flash == clock)
        return std::string("a step has either \"flash\" or \"set-clock\"");
    if (clock) {
        for (const auto& [key, value] : step.items()) {
            if (key != "set-clock")
                return "set-clock takes no key \"" + key + "\"";
        }
        const auto when = text("set-clock");
        if (!when)
            return std::string("\"set-clock\" is \"now\" or \"YYYY-MM-DD HH:MM:SS\"");
        return std::vector<std::string>{"set-clock", *when};
    }
    const auto kind = text("flash");
    const auto file = text("file");
    if (!kind)
        return std::string("\"flash\" names the kind: kernel, bootloader, filesystem or logo");
    if (!file || file->empty())
        return std::string("a flash step needs its \"file\"");
    std::vector<std::string> words = {"flash", *kind, in_folder(*file)};
    static const std::map<std::string, std::string> kOptions = {{"model", "--model"},
                                                                {"screen", "--screen"},
                                                                {"background", "--background"},
                                                                {"output", "-o"}};
    for (const auto& [key, value] : step.items()) {
        if (key == "flash" || key == "file")
            continue;
        const auto option = kOptions.find(key);
        if (option == kOptions.end()) {
            return "unknown key \"" + key +
                   "\" (a flash step has flash, file and, for a logo, model, screen, "
                   "background, output)";
        }
        if (!value.is_string())
            return "\"" + key + "\" is a string";
        words.push_back(option->second);
        words.push_back(key == "output" ? in_folder(value.get<std::string>())
                                        : value.get<std::string>());
    }
    return words;
}

// The job file: {"targets": [...], "jobs": N, "steps": [...]}, each part
// optional. `line_steps`: the command line has steps of its own, which a job
// file with steps refuses (which of the two would be meant is unclear).
std::optional<int> ReadJobFile(CommandContext& c, const fs::path& file, uint16_t port,
                               bool line_steps, bool line_jobs, Plan& plan, Images& images) {
    const std::string name = "the job file " + DisplayPath(file);
    std::error_code ec;
    std::ifstream in(file, std::ios::binary);
    if (!in || !fs::is_regular_file(file, ec))
        return c.Problem("cannot read " + name + " (no readable file)", LinkResult::FileError);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SyntaxCheck syntax;
    if (!Json::sax_parse(text, &syntax))
        return c.Usage(name + ": " + syntax.error);
    const Json job = Json::parse(text, nullptr, false);
    if (!job.is_object())
        return c.Usage(name +
                       ": the file holds an object, e.g. {\"targets\": [...], \"steps\": [...]}");
    for (const auto& [key, value] : job.items()) {
        if (key != "targets" && key != "jobs" && key != "steps")
            return c.Usage(name + ": unknown key \"" + key + "\" (targets, jobs, steps)");
    }
    if (const auto it = job.find("targets"); it != job.end()) {
        if (!it->is_array())
            return c.Usage(name + ": \"targets\" is a list");
        for (size_t i = 0; i < it->size(); ++i) {
            const Json& t = (*it)[i];
            const std::string where = name + ", target " + std::to_string(i + 1) + ": ";
            if (t.is_string()) {
                if (const auto problem = ParseUdpTarget(t.get<std::string>(), port, plan.targets))
                    return c.Usage(where + *problem);
            } else if (t.is_object() && t.size() == 1 && t.contains("serial") &&
                       t["serial"].is_string() && !t["serial"].get<std::string>().empty()) {
                plan.targets.push_back(SerialBatchTarget(t["serial"].get<std::string>()));
            } else {
                return c.Usage(where +
                               "a target is \"ADDR[:PORT]\" or {\"serial\": \"DEVICE\"}, not " +
                               t.dump());
            }
        }
    }
    if (const auto it = job.find("jobs"); it != job.end()) {
        const long most = static_cast<long>(kMaxTargets);
        if (!it->is_number_integer() || it->get<long>() < 1 || it->get<long>() > most) {
            return c.Usage(name + ": \"jobs\" takes a number from 1 to " + std::to_string(most) +
                           ", not " + it->dump());
        }
        // --jobs on the line wins: it is the newer word.
        if (!line_jobs)
            plan.jobs = static_cast<int>(it->get<long>());
    }
    if (const auto it = job.find("steps"); it != job.end()) {
        if (line_steps)
            return c.Usage(name +
                           " has steps: give the steps there or on the command line, not both");
        if (!it->is_array() || it->empty())
            return c.Usage(name + ": \"steps\" is a list of one step or more");
        const fs::path folder = file.parent_path();
        for (size_t i = 0; i < it->size(); ++i) {
            const std::string where = name + ", step " + std::to_string(i + 1) + ": ";
            auto words = JobStepWords((*it)[i], folder);
            if (const std::string* problem = std::get_if<std::string>(&words))
                return c.Usage(where + *problem);
            if (const auto status =
                    ReadStep(c, std::get<std::vector<std::string>>(words), plan, images, where))
                return status;
        }
    }
    return std::nullopt;
}

// Reads the targets, --jobs and the steps; the exit status when the line
// cannot run.
std::optional<int> ReadPlan(CommandContext& c, Plan& plan) {
    const std::vector<std::string>& args = c.inv().args;
    std::vector<std::string> udp, serial;
    std::optional<std::string> range, targets_file, job_file;
    uint16_t port = kDefaultPanelPort;
    bool discover = false;
    size_t i = 0;
    while (i < args.size()) {
        const std::string& name = args[i];
        if (IsBatchSwitch(name)) {
            discover = true;
            ++i;
            continue;
        }
        if (!IsBatchOption(name))
            break;
        if (i + 1 == args.size())
            return c.Usage(name + " needs a value");
        const std::string& value = args[i + 1];
        i += 2;
        if (name == "--udp") {
            udp.push_back(value);
        } else if (name == "--serial") {
            if (value.empty())
                return c.Usage("--serial needs a device path or COMn, not an empty word");
            serial.push_back(value);
        } else if (name == "--usb") {
            return c.Usage(
                "batch programs over udp or serial links; the panel takes no "
                "programming over USB");
        } else if (name == "--range") {
            range = value;
        } else if (name == "--port") {
            const auto p = ParseNumber(value, 1, 65535);
            if (!p)
                return c.Usage("not a port from 1 to 65535: " + value);
            port = static_cast<uint16_t>(*p);
        } else if (name == "--targets") {
            targets_file = value;
        } else if (name == "--job") {
            if (job_file)
                return c.Usage("one --job FILE at most");
            job_file = value;
        } else if (name == "--jobs") {
            const auto n = ParseNumber(value, 1, static_cast<long>(kMaxTargets));
            if (!n)
                return c.Usage("--jobs takes a number from 1 to " + std::to_string(kMaxTargets) +
                               ", not " + value);
            plan.jobs = static_cast<int>(*n);
        }
    }
    for (const std::string& list : udp) {
        size_t start = 0;
        for (;;) {
            const size_t comma = list.find(',', start);
            if (const auto problem =
                    ParseUdpTarget(list.substr(start, comma - start), port, plan.targets))
                return c.Usage(*problem);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    if (discover) {
        // The range is where to look, not the panels themselves.
        plan.discover.emplace();
        if (range)
            (*plan.discover)["--range"] = *range;
        (*plan.discover)["--port"] = std::to_string(port);
    } else if (range) {
        const auto r = ParseAddressRange(*range);
        if (!r || r->Count() > kMaxTargets) {
            return c.Usage("not an address range A-B (e.g. 192.168.0.1-254, at most " +
                           std::to_string(kMaxTargets) + " addresses): " + *range);
        }
        for (uint64_t a = r->first; a <= r->last; ++a)
            plan.targets.push_back(UdpBatchTarget(static_cast<uint32_t>(a), port));
    }
    for (const std::string& device : serial)
        plan.targets.push_back(SerialBatchTarget(device));
    if (targets_file) {
        if (const auto status = ReadTargetsFile(c, *targets_file, port, plan))
            return status;
    }
    Images images;
    if (job_file) {
        if (const auto status =
                ReadJobFile(c, *job_file, port, i < args.size(), plan.jobs != 0, plan, images))
            return status;
    }
    if (plan.targets.empty() && !plan.discover) {
        return c.Usage(
            "batch needs its panels: --udp ADDR[:PORT][,ADDR[:PORT]...], --range A-B, "
            "--serial DEV, --targets FILE, --job FILE or --discover");
    }
    if (plan.targets.size() > kMaxTargets)
        return c.Usage("at most " + std::to_string(kMaxTargets) + " panels in one batch");
    std::set<std::string> seen;
    for (const LinkSettings& t : plan.targets) {
        if (!seen.insert(DescribeTarget(t)).second)
            return c.Usage("panel " + DescribeTarget(t) + " is named twice");
    }
    if (!plan.steps.empty())
        return std::nullopt;  // the job file's
    if (i == args.size())
        return c.Usage("batch needs a step: flash KIND FILE or set-clock [now]");
    std::vector<std::string> words;
    for (; i <= args.size(); ++i) {
        if (i < args.size() && args[i] != kSeparator) {
            words.push_back(args[i]);
            continue;
        }
        if (words.empty())
            return c.Usage("an empty step: steps are separated by a lone +");
        if (const auto status = ReadStep(c, words, plan, images))
            return status;
        words.clear();
    }
    return std::nullopt;
}

// One panel's output and what korvane-cli tells of its row.
class Rows : public BatchObserver {
  public:
    // `board`: the lines drawn in place on the terminal, which then carry
    // the steps and verdicts and take the rows' messages.
    Rows(CommandContext& c, const Plan& plan, BatchBoard* board)
        : c_(c), plan_(plan), board_(board) {
        for (size_t i = 0; i < plan.targets.size(); ++i) {
            auto row = std::make_unique<Row>(c.env().out, board ? board->Messages() : c.env().err,
                                             c.inv().json, c.out().language());
            row->target = plan.targets[i];
            row->out.SetPanel(static_cast<int>(i), DescribeTarget(row->target), &lock_);
            const LinkSettings target = row->target;
            row->sink.emplace(row->out, [this, target](TextId id) {
                if (id == TextId::Timeout) {
                    return "no answer on " + LinkName(target) +
                           ": check that the panel is on and connected";
                }
                return c_.Hint(id);
            });
            row->waits.emplace(row->out);
            rows_.push_back(std::move(row));
        }
    }

    MessageSink& RowSink(int row) override { return *rows_[static_cast<size_t>(row)]->sink; }
    ProgressSink& RowProgress(int row) override {
        Row& r = *rows_[static_cast<size_t>(row)];
        if (board_)
            return board_->RowProgress(row);
        return c_.inv().json ? static_cast<ProgressSink&>(*r.waits) : r.quiet;
    }
    void StepStarted(int row, int step) override {
        Row& r = *rows_[static_cast<size_t>(row)];
        const std::string& name = plan_.step_names[static_cast<size_t>(step)];
        if (board_) {
            board_->StepStarted(row, std::to_string(step + 1) + "/" +
                                         std::to_string(plan_.steps.size()) + ": " + name);
        } else if (c_.inv().json) {
            r.out.Result("", {{"step", std::to_string(step + 1)},
                              {"of", std::to_string(plan_.steps.size())},
                              {"what", JsonString(name)}});
        } else if (!c_.inv().quiet) {
            r.out.Problem("step " + std::to_string(step + 1) + "/" +
                              std::to_string(plan_.steps.size()) + ": " + name,
                          MessageKind::Plain);
        }
    }
    void RowFinished(const BatchRowResult& result) override {
        Row& r = *rows_[static_cast<size_t>(result.row)];
        if (board_) {
            board_->Finished(result.row, Verdict(result));
        } else if (c_.inv().json) {
            // One verdict ends the whole batch: a row's end is a result.
            r.out.Result("", {{"result", JsonString(LinkResultName(result.result))},
                              {"code", std::to_string(static_cast<int>(result.result))},
                              {"steps_done", std::to_string(result.steps_done)},
                              {"bytes", std::to_string(result.bytes)},
                              {"ms", std::to_string(result.duration_ms)},
                              {"message", JsonString(Note(result))}});
        } else if (!c_.inv().quiet) {
            r.out.Problem(Verdict(result), MessageKind::Plain);
        }
    }

    std::string Note(const BatchRowResult& r) const {
        if (!r.note)
            return "";
        const UiLanguage language = c_.out().language();
        if (r.note->id && r.note->values)
            return FillText(*r.note->id, *r.note->values, language);
        if (r.note->id)
            return Text(*r.note->id, language);
        return r.note->text;
    }

    static std::string Verdict(const BatchRowResult& r) {
        if (!r.started)
            return "not started (cancelled)";
        if (r.result == LinkResult::Ok)
            return "succeeded";
        if (r.result == LinkResult::RunCancelled)
            return "cancelled";
        return std::string("failed (") + LinkResultName(r.result) + ")";
    }

  private:
    struct Row {
        Row(std::ostream& out, std::ostream& err, bool json, UiLanguage language)
            : out(out, err, json, language) {}
        LinkSettings target;
        Output out;
        std::optional<OutputSink> sink;
        std::optional<JsonWaits> waits;
        NullProgress quiet;
    };

    CommandContext& c_;
    const Plan& plan_;
    BatchBoard* board_;
    std::mutex lock_;
    std::vector<std::unique_ptr<Row>> rows_;
};

std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// The closing table on stdout, one line per panel, columns padded.
void PrintTable(CommandContext& c, const Rows& rows, const Plan& plan,
                const std::vector<BatchRowResult>& results) {
    std::vector<std::vector<std::string>> lines = {
        {"PANEL", "TARGET", "STEPS", "BYTES", "TIME", "VERDICT", "MESSAGE"}};
    for (const BatchRowResult& r : results) {
        lines.push_back({std::to_string(r.row), DescribeTarget(r.target),
                         std::to_string(r.steps_done) + "/" + std::to_string(plan.steps.size()),
                         std::to_string(r.bytes), Seconds(r.duration_ms), Rows::Verdict(r),
                         rows.Note(r)});
    }
    std::vector<size_t> widths(lines[0].size(), 0);
    for (const auto& line : lines) {
        for (size_t i = 0; i + 1 < line.size(); ++i)
            widths[i] = std::max(widths[i], line[i].size());
    }
    std::string text;
    for (const auto& line : lines) {
        std::string row;
        for (size_t i = 0; i < line.size(); ++i) {
            row += line[i];
            if (i + 1 < line.size())
                row += std::string(widths[i] - line[i].size() + 2, ' ');
        }
        while (!row.empty() && row.back() == ' ')
            row.pop_back();
        text += row + "\n";
    }
    c.env().out << text << std::flush;
}

// --discover: the panels that answer join the targets, in address order,
// those named already once; the exit status when the batch cannot start.
std::optional<int> AddDiscovered(CommandContext& c, Plan& plan) {
    const auto read = ReadDiscoverOptions(c, *plan.discover);
    if (const int* status = std::get_if<int>(&read))
        return *status;
    const DiscoverOptions& o = std::get<DiscoverOptions>(read);
    const auto searched = SearchPanels(c, o);
    if (const int* status = std::get_if<int>(&searched))
        return *status;
    const DiscoverResult& r = std::get<DiscoverResult>(searched);
    if (r.outcome == DiscoverOutcome::Cancelled)
        return c.Problem("cancelled while looking for panels; nothing was sent",
                         LinkResult::RunCancelled);
    if (r.panels.empty() && plan.targets.empty())
        return NoPanelAnswered(c, o, r);
    std::set<std::string> named;
    for (const LinkSettings& t : plan.targets)
        named.insert(DescribeTarget(t));
    std::string found;
    for (const FoundPanel& p : r.panels) {
        const LinkSettings t = UdpBatchTarget(p.address, p.port);
        found += (found.empty() ? "" : ",") + JsonString(DescribeTarget(t));
        if (named.insert(DescribeTarget(t)).second)
            plan.targets.push_back(t);
    }
    if (plan.targets.size() > kMaxTargets)
        return c.Usage("at most " + std::to_string(kMaxTargets) + " panels in one batch");
    const std::string where = o.target == DiscoverOptions::Target::Range
                                  ? HostDotted(o.range.first) + "-" + HostDotted(o.range.last)
                                  : std::string("the network");
    if (c.inv().json) {
        c.out().Result(
            "", {{"discovered", std::to_string(r.panels.size())}, {"targets", "[" + found + "]"}});
    } else if (!c.inv().quiet) {
        c.out().Problem("found " + std::to_string(r.panels.size()) + " panel" +
                            (r.panels.size() == 1 ? "" : "s") + " at " + where + " port " +
                            std::to_string(o.port),
                        r.panels.empty() ? MessageKind::Warning : MessageKind::Plain);
    }
    return std::nullopt;
}

int Batch(CommandContext& c) {
    Plan plan;
    if (const auto status = ReadPlan(c, plan))
        return *status;
    if (plan.discover) {
        if (const auto status = AddDiscovered(c, plan))
            return *status;
    }
    BatchRun run(plan.targets, plan.steps, plan.jobs, LocalNow);
    run.CancelWhen(c.env().interrupt);
    if (!c.inv().quiet && !c.inv().json) {
        c.out().Problem("batch " + run.id() + ": " + std::to_string(plan.targets.size()) +
                            " panels, " + std::to_string(plan.steps.size()) + " steps each",
                        MessageKind::Plain);
    }
    // Drawn below that line; until it is finished, nothing else writes to
    // stderr but through it.
    std::optional<BatchBoard> board;
    if (c.env().err_is_terminal && !c.inv().quiet && !c.inv().json) {
        std::vector<BoardRow> lines;
        for (const LinkSettings& t : plan.targets) {
            BoardRow line;
            line.target = DescribeTarget(t);
            lines.push_back(line);
        }
        board.emplace(c.env().err, std::move(lines), c.TerminalColumns());
    }
    Rows rows(c, plan, board ? &*board : nullptr);
    const auto started = std::chrono::steady_clock::now();
    const std::vector<BatchRowResult> results = run.Run(rows);
    if (board)
        board->Finish();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    int good = 0;
    for (const BatchRowResult& r : results)
        good += r.result == LinkResult::Ok;
    if (c.inv().json) {
        c.out().Result("", {{"batch", JsonString(run.id())},
                            {"panels", std::to_string(results.size())},
                            {"succeeded", std::to_string(good)},
                            {"ms", std::to_string(ms)}});
    } else {
        PrintTable(c, rows, plan, results);
    }
    const LinkResult outcome = BatchOutcome(results);
    if (outcome == LinkResult::Ok || outcome == LinkResult::RunCancelled) {
        if (outcome == LinkResult::RunCancelled)
            c.out().Problem("cancelled: each panel keeps what it had written so far");
        return c.Finish(outcome);
    }
    c.out().Problem(std::to_string(results.size() - static_cast<size_t>(good)) + " of " +
                    std::to_string(results.size()) + " panels failed");
    c.out().Verdict("PanelsFailed", kBatchFailed);
    return kBatchFailed;
}

}  // namespace

bool IsBatchOption(std::string_view name) {
    return name == "--udp" || name == "--serial" || name == "--usb" || name == "--range" ||
           name == "--port" || name == "--targets" || name == "--jobs" || name == "--job";
}

bool IsBatchSwitch(std::string_view name) {
    return name == "--discover";
}

CliCommand BatchCommand() {
    return {{"batch",
             {"TARGETS [--jobs N] STEP [+ STEP ...]", "--job FILE [TARGETS]"},
             "runs the same steps on many panels at once",
             "Runs the same steps on many panels at once, each on a link of its own, and ends\n"
             "with a table: panel, target, steps done, bytes, time, verdict, message. The\n"
             "panels are --udp ADDR[:PORT][,ADDR[:PORT]...] (repeatable), --range A-B (each\n"
             "address from A to B, at --port N or 21845), --serial DEV (repeatable),\n"
             "--targets FILE (one ADDR[:PORT] or serial device per line; # starts a comment)\n"
             "and --discover: every panel that answers the search discover makes (only in\n"
             "--range A-B when given, at --port N), in address order, added to the others\n"
             "(one named twice is taken once); none found: exit status 2 and nothing sent.\n"
             "A step is written as the single-panel command: flash KIND FILE (a logo with its\n"
             "--model or --screen) or set-clock [now | \"YYYY-MM-DD HH:MM:SS\"]; steps are\n"
             "separated by a lone +. --job FILE reads a JSON job, each part optional:\n"
             "{\"targets\": [\"ADDR[:PORT]\", {\"serial\": \"DEV\"}], \"jobs\": N, \"steps\":\n"
             "[{\"flash\": \"kernel\", \"file\": \"zImage\"}, {\"flash\": \"logo\", \"file\": "
             "\"a.png\",\n"
             "\"model\": \"M\"}, {\"set-clock\": \"now\"}]}; its file names are taken from its "
             "folder;\n"
             "its targets join those of the line, --jobs on the line wins, and steps in both\n"
             "the file and on the line are refused. A bad job file is a usage error (64)\n"
             "naming the file and the key or step, and nothing is sent. Each image is read\n"
             "once, before any panel starts, and every panel gets the same bytes. A panel that\n"
             "fails ends its own row and no other; its later steps are not run. --jobs N runs\n"
             "at most N panels at once (default: all). On a terminal (stderr) each panel has\n"
             "a line redrawn in place: target, state, percent, step; elsewhere every panel's\n"
             "lines begin \"panel I (TARGET): \"; with --json every event carries \"panel\".\n"
             "Exit status 0 when every panel succeeded, 10 when some failed, 8 when cancelled\n"
             "(Ctrl-C: every panel stops).",
             "korvane-cli batch --udp 192.168.0.101,192.168.0.102 flash kernel zImage + set-clock "
             "now",
             {{"--range", "A-B", "the panels at each address from A to B (e.g. 192.168.0.1-254)"},
              {"--port", "N", "the port of the --range and --udp panels given without one"},
              {"--targets", "FILE", "the panels listed in FILE, one per line", Complete::File},
              {"--discover", "", "the panels that answer a search (in --range A-B when given)"},
              {"--job", "FILE", "the targets, jobs and steps of a JSON job file", Complete::File},
              {"--jobs", "N", "at most N panels at once (default: all)"}},
             Complete::Words,
             "flash set-clock",
             Complete::File},
            Batch};
}

}  // namespace korvane::cli
