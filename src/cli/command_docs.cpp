#include "cli/command_docs.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace korvane::cli {

namespace {

constexpr size_t kOptionColumn = 25;
constexpr size_t kCommandColumn = 35;

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            if (start < text.size())
                lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> Paragraphs(std::string_view text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\n\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        out.emplace_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

// "head" padded to the column, then the text; continuation lines indented.
void Row(std::ostream& out, const std::string& head, std::string_view text, size_t column) {
    const auto lines = Lines(text);
    out << "  " << head;
    size_t used = 2 + head.size();
    if (lines.empty()) {
        out << "\n";
        return;
    }
    if (used + 1 > column) {
        out << "\n";
        used = 0;
    }
    bool first = true;
    for (const std::string& line : lines) {
        if (!first)
            used = 0;
        out << std::string(column - used, ' ') << line << "\n";
        first = false;
    }
}

std::string OptionHead(const OptionDoc& o) {
    return o.value.empty() ? o.names : o.names + " " + o.value;
}

void OptionRows(std::ostream& out, const std::vector<OptionDoc>& options) {
    for (const OptionDoc& o : options)
        Row(out, OptionHead(o), o.text, kOptionColumn);
}

std::string ExitLine(const ProgramDoc& p) {
    std::string text = "Exit status:";
    for (size_t i = 0; i < p.exits.size(); ++i) {
        text += " " + std::to_string(p.exits[i].code) + " " + p.exits[i].name;
        text += i + 1 < p.exits.size() ? "," : ".";
    }
    // Broken into lines of at most 79 characters.
    std::string out, line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && line.size() + 1 + word.size() > 79) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line + "\n";
}

// roff: backslashes and hyphens escaped, no line starting a request.
std::string Roff(std::string_view text) {
    std::string out;
    bool line_start = true;
    for (char c : text) {
        if (line_start && (c == '.' || c == '\''))
            out += "\\&";
        line_start = c == '\n';
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

void RoffText(std::ostream& out, std::string_view text) {
    bool first = true;
    for (const std::string& p : Paragraphs(text)) {
        if (!first)
            out << ".PP\n";
        out << Roff(p) << "\n";
        first = false;
    }
}

void RoffOption(std::ostream& out, const OptionDoc& o) {
    out << ".TP\n\\fB" << Roff(o.names) << "\\fR";
    if (!o.value.empty())
        out << " \\fI" << Roff(o.value) << "\\fR";
    out << "\n" << Roff(o.text) << "\n";
}

std::string Upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

std::string ShellName(std::string_view program) {
    std::string out = "_";
    for (char c : program)
        out += (c == '-' ? '_' : c);
    return out;
}

std::string Join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

// The bash lines that fill COMPREPLY for one kind of value.
std::string CompleteLines(Complete kind, const std::string& words, const std::string& commands) {
    switch (kind) {
        case Complete::Nothing:
            return "return";
        case Complete::File:
            return "compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "
                   "\"$cur\"); "
                   "return";
        case Complete::SerialDevice:
            return "_korvane_offer \"$cur\" $(\"$prog\" ports 2>/dev/null | "
                   "awk -F'\\t' '$1 != \"USB\" {print $1; print $2}'); return";
        case Complete::UsbDevice:
            return "_korvane_offer \"$cur\" $(\"$prog\" ports 2>/dev/null | "
                   "awk -F'\\t' '$1 == \"USB\" {print $2}'); return";
        case Complete::Model:
            return "_korvane_models; return";
        case Complete::Words:
            return "mapfile -t COMPREPLY < <(compgen -W \"" + words + "\" -- \"$cur\"); return";
        case Complete::Command:
            return "mapfile -t COMPREPLY < <(compgen -W \"" + commands + "\" -- \"$cur\"); return";
    }
    return "return";
}

}  // namespace

std::vector<std::string> OptionNames(const OptionDoc& option) {
    std::vector<std::string> names;
    std::string rest = option.names;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        std::string name = rest.substr(0, comma);
        name.erase(0, name.find_first_not_of(' '));
        name.erase(name.find_last_not_of(' ') + 1);
        names.push_back(name);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
    }
    return names;
}

const OptionDoc* FindOption(const std::vector<OptionDoc>& options, std::string_view name) {
    for (const OptionDoc& o : options) {
        for (const std::string& n : OptionNames(o)) {
            if (n == name)
                return &o;
        }
    }
    return nullptr;
}

const CommandDoc* FindCommand(const ProgramDoc& program, std::string_view name) {
    for (const CommandDoc& c : program.commands) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

std::string UsageLine(const ProgramDoc& program) {
    return "usage: " + program.name + " " + program.usage + "\n";
}

std::string OptionsSynopsis(const ProgramDoc& program) {
    std::string out;
    for (const OptionGroup& g : program.groups) {
        for (const OptionDoc& o : g.options) {
            const std::string first = OptionNames(o).front();
            out +=
                (out.empty() ? "[" : " [") + first + (o.value.empty() ? "" : " " + o.value) + "]";
        }
    }
    return out;
}

std::string HelpText(const ProgramDoc& p) {
    std::ostringstream out;
    out << UsageLine(p) << "\n";
    if (!p.description.empty())
        out << p.description << "\n\n";
    for (const OptionGroup& g : p.groups) {
        out << g.title << ":\n";
        OptionRows(out, g.options);
        out << "\n";
    }
    if (!p.commands.empty()) {
        out << "commands:\n";
        for (const CommandDoc& c : p.commands) {
            const auto& forms = c.synopsis.empty() ? std::vector<std::string>{""} : c.synopsis;
            for (size_t i = 0; i + 1 < forms.size(); ++i)
                out << "  " << c.name << (forms[i].empty() ? "" : " " + forms[i]) << "\n";
            Row(out, c.name + (forms.back().empty() ? "" : " " + forms.back()), c.summary,
                kCommandColumn);
        }
        out << "\n";
    }
    if (!p.footer.empty())
        out << p.footer << "\n";
    if (!p.exits.empty())
        out << ExitLine(p);
    return out.str();
}

std::string CommandHelpText(const ProgramDoc& p, const CommandDoc& c) {
    std::ostringstream out;
    const std::string lead = "usage: " + p.name + " " + p.usage.substr(0, p.usage.find("COMMAND"));
    for (size_t i = 0; i < std::max<size_t>(1, c.synopsis.size()); ++i) {
        out << (i == 0 ? lead : std::string(lead.size(), ' ')) << c.name
            << (c.synopsis.empty() || c.synopsis[i].empty() ? "" : " " + c.synopsis[i]) << "\n";
    }
    out << "\n" << c.text << "\n";
    if (!c.options.empty()) {
        out << "\noptions:\n";
        OptionRows(out, c.options);
    }
    out << "\nexample: " << c.example << "\n";
    return out.str();
}

namespace {

// The COMMANDS section: each command's forms, text, options and example.
void RoffCommands(std::ostringstream& out, const ProgramDoc& p) {
    if (p.commands.empty())
        return;
    out << ".SH COMMANDS\n";
    for (const CommandDoc& c : p.commands) {
        out << ".TP\n";
        const auto forms = c.synopsis.empty() ? std::vector<std::string>{""} : c.synopsis;
        // The tag holds the first form; the others open the body, a line each.
        for (size_t i = 0; i < forms.size(); ++i) {
            out << "\\fB" << Roff(c.name) << "\\fR"
                << (forms[i].empty() ? "" : " " + Roff(forms[i])) << (i ? "\n.br\n" : "\n");
        }
        RoffText(out, c.text);
        if (!c.options.empty()) {
            out << ".RS\n";
            for (const OptionDoc& o : c.options)
                RoffOption(out, o);
            out << ".RE\n";
        }
        out << ".IP\nExample: \\f(CW" << Roff(c.example) << "\\fR\n";
    }
}

}  // namespace

std::string ManPage(const ProgramDoc& p, std::string_view version) {
    std::ostringstream out;
    out << ".\\\" Generated by " << p.name << " from the table behind its --help; do not edit.\n";
    out << ".TH " << Upper(p.name) << " 1 \"\" \"Korvane " << version << "\" \"User Commands\"\n";
    out << ".SH NAME\n" << Roff(p.name) << " \\- " << Roff(p.purpose) << "\n";
    out << ".SH SYNOPSIS\n.B " << Roff(p.name) << "\n" << Roff(p.usage) << "\n";
    out << ".SH DESCRIPTION\n";
    RoffText(out, p.description);
    out << ".SH OPTIONS\n";
    for (const OptionGroup& g : p.groups) {
        out << ".SS \"" << Roff(g.title) << "\"\n";
        for (const OptionDoc& o : g.options)
            RoffOption(out, o);
    }
    RoffCommands(out, p);
    if (!p.footer.empty()) {
        out << ".PP\n";
        RoffText(out, p.footer);
    }
    if (!p.exits.empty()) {
        out << ".SH EXIT STATUS\n";
        for (const ExitDoc& e : p.exits) {
            out << ".TP\n.B " << e.code << "\n"
                << Roff(e.name) << (e.text.empty() ? "" : ": ") << Roff(e.text) << "\n";
        }
    }
    if (!p.files.empty()) {
        out << ".SH FILES\n";
        RoffText(out, p.files);
    }
    if (!p.see_also.empty()) {
        out << ".SH SEE ALSO\n";
        for (size_t i = 0; i < p.see_also.size(); ++i) {
            const std::string& s = p.see_also[i];
            const size_t paren = s.find('(');
            out << ".BR " << Roff(s.substr(0, paren)) << " " << s.substr(paren)
                << (i + 1 < p.see_also.size() ? "," : "") << "\n";
        }
    }
    return out.str();
}

namespace {

// What the completion script is made of, gathered from the table.
struct CompletionParts {
    std::vector<std::string> commands, global, with_value;
    std::ostringstream value_cases, command_options, arguments;
};

// A case for each option that takes a value (each name once).
void AddValueCase(CompletionParts& parts, std::set<std::string>& seen, const OptionDoc& o) {
    if (o.value.empty())
        return;
    std::vector<std::string> fresh;
    for (const std::string& n : OptionNames(o)) {
        if (seen.insert(n).second)
            fresh.push_back(n);
    }
    if (fresh.empty())
        return;
    std::string pattern;
    for (const std::string& n : fresh)
        pattern += (pattern.empty() ? "" : "|") + n;
    parts.with_value.insert(parts.with_value.end(), fresh.begin(), fresh.end());
    parts.value_cases << "        " << pattern << ") "
                      << CompleteLines(o.complete, o.words, Join(parts.commands)) << " ;;\n";
}

void CollectCompletion(const ProgramDoc& p, CompletionParts& parts) {
    for (const CommandDoc& c : p.commands)
        parts.commands.push_back(c.name);
    std::set<std::string> seen_value;
    for (const OptionGroup& g : p.groups) {
        for (const OptionDoc& o : g.options) {
            for (const std::string& n : OptionNames(o))
                parts.global.push_back(n);
            AddValueCase(parts, seen_value, o);
        }
    }
    const std::string commands = Join(parts.commands);
    for (const CommandDoc& c : p.commands) {
        std::vector<std::string> names;
        for (const OptionDoc& o : c.options) {
            for (const std::string& n : OptionNames(o))
                names.push_back(n);
            AddValueCase(parts, seen_value, o);
        }
        if (!names.empty())
            parts.command_options << "        " << c.name << ") opts+=\" " << Join(names)
                                  << "\" ;;\n";
        if (c.first != Complete::Nothing || c.later != Complete::Nothing) {
            parts.arguments << "        " << c.name << ")\n            if ((nargs == 0)); then\n"
                            << "                " << CompleteLines(c.first, c.first_words, commands)
                            << "\n            fi\n            "
                            << CompleteLines(c.later, "", commands) << " ;;\n";
        }
    }
}

// The helpers every generated script begins with.
void CompletionHelpers(std::ostringstream& out, const ProgramDoc& p) {
    out << "# bash completion for " << p.name << "\n"
        << "# Generated by " << p.name << " from the table behind its --help; do not edit.\n"
        << "\n"
        << "# Offers the words after the first that begin with the first, quoted for the "
           "shell.\n"
        << "_korvane_offer() {\n"
        << "    local cur=$1 word\n"
        << "    shift\n"
        << "    COMPREPLY=()\n"
        << "    for word in \"$@\"; do\n"
        << "        [[ $word == \"$cur\"* ]] && COMPREPLY+=(\"$word\")\n"
        << "    done\n"
        << "}\n"
        << "\n"
        << "# Model names hold spaces: one per line from the program, each quoted.\n"
        << "_korvane_models() {\n"
        << "    local name typed=${cur//\\\\/}\n"
        << "    COMPREPLY=()\n"
        << "    while IFS= read -r name; do\n"
        << "        [[ $name == \"$typed\"* ]] && COMPREPLY+=(\"$(printf '%q' \"$name\")\")\n"
        << "    done < <(\"$prog\" \"${models[@]}\" models 2>/dev/null | cut -f1)\n"
        << "}\n"
        << "\n";
}

// The start of the program's function: where the command line stands.
void CompletionScan(std::ostringstream& out, const CompletionParts& parts) {
    std::string with_value;
    for (const std::string& n : parts.with_value)
        with_value += (with_value.empty() ? "" : "|") + n;
    out << "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        << "    local prog=${COMP_WORDS[0]} command= nargs=0 i word ended=\n"
        << "    local -a models=()\n"
        << "    # The command so far, its arguments, and a model list named on the line.\n"
        << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        << "        word=${COMP_WORDS[i]}\n"
        << "        if [[ -z $ended ]]; then\n"
        << "            case $word in\n"
        << "                --models) models=(--models \"${COMP_WORDS[i + 1]}\") ;;\n"
        << "            esac\n"
        << "            case $word in\n"
        << "                --) ended=1; continue ;;\n"
        << "                " << (with_value.empty() ? "--never--" : with_value)
        << ") ((i++)); continue ;;\n"
        << "                -?*) continue ;;\n"
        << "            esac\n"
        << "        fi\n"
        << "        if [[ -z $command ]]; then command=$word; else ((nargs++)); fi\n"
        << "    done\n";
}

}  // namespace

std::string BashCompletion(const ProgramDoc& p) {
    CompletionParts parts;
    CollectCompletion(p, parts);
    const std::string fn = ShellName(p.name);
    std::ostringstream out;
    CompletionHelpers(out, p);
    out << fn << "() {\n";
    CompletionScan(out, parts);
    out << "    case $prev in\n"
        << parts.value_cases.str() << "    esac\n"
        << "    if [[ $cur == -* && -z $ended ]]; then\n"
        << "        local opts=\"" << Join(parts.global) << "\"\n";
    if (!p.commands.empty())
        out << "        case $command in\n" << parts.command_options.str() << "        esac\n";
    out << "        mapfile -t COMPREPLY < <(compgen -W \"$opts\" -- \"$cur\")\n"
        << "        return\n"
        << "    fi\n";
    if (!p.commands.empty()) {
        out << "    if [[ -z $command ]]; then\n"
            << "        mapfile -t COMPREPLY < <(compgen -W \"" << Join(parts.commands)
            << "\" -- \"$cur\")\n"
            << "        return\n"
            << "    fi\n"
            << "    case $command in\n"
            << parts.arguments.str() << "    esac\n";
    }
    out << "}\n"
        << "complete -F " << fn << " " << p.name << "\n";
    return out.str();
}

}  // namespace korvane::cli
