#include "cli/logo_commands.h"

#include "cli/cli_args.h"
#include "cli/logo_picture.h"
#include "logo/logo_limits.h"
#include "models/panel_models.h"
#include "models/screen_size.h"
#include "system/display_path.h"
#include "system/file_read_check.h"
#include "system/program_files.h"
#include "xml/xml_document.h"

namespace korvane::cli {

namespace {

namespace fs = std::filesystem;

std::optional<fs::path> ModelListFile(CommandContext& c) {
    return c.inv().models_file ? std::optional<fs::path>(*c.inv().models_file)
                               : PanelModelsFileIn(ProgramFiles::InFolder(c.env().program_folder));
}

// Why the model list yields no models: no file, unreadable, not
// well-formed, no "ge" root or no "HMI_Types".
std::string ModelListProblem(const std::optional<fs::path>& file) {
    if (!file)
        return "no model list: this program has no folder of its own; give --models FILE";
    const std::string name = "the model list " + DisplayPath(*file);
    if (const std::error_code ec = CheckReadable(*file))
        return "cannot read " + name + ": " + ec.message();
    XmlDocument doc;
    if (!doc.LoadFile(*file)) {
        // The reader's outcome: the load summary, then the first parse error.
        std::string why = Utf16ToUtf8(doc.ResultText());
        if (const size_t comma = why.find(", ");
            comma != std::string::npos && why.find(" wide chars") < comma)
            why = why.substr(comma + 2);
        return name + " is not well-formed XML" + (why.empty() ? "" : ": " + why);
    }
    if (!doc.FindElement(u"ge"))
        return name + " has no root element \"ge\"";
    if (!doc.FindChildElement(u"HMI_Types"))
        return name + " has no \"HMI_Types\" element in its root \"ge\"";
    return "cannot read " + name;
}

std::string FaultText(PanelModelFault fault, const PanelModel& model) {
    const std::string sides =
        " is not " + std::to_string(kScreenSideMin) + " to " + std::to_string(kScreenSideMax);
    switch (fault) {
        case PanelModelFault::BadWidth:
            return "width " + std::to_string(model.screen_width) + sides;
        case PanelModelFault::BadHeight:
            return "height " + std::to_string(model.screen_height) + sides;
        case PanelModelFault::EmptyName:
            return "no name";
        case PanelModelFault::ControlInName:
            return "a control character in its name";
        case PanelModelFault::DuplicateName:
            return "the name of an earlier model";
    }
    return "not usable";
}

// LoadPanelModels, with a warning for each model left out.
bool LoadModels(CommandContext& c, const fs::path& file, std::vector<PanelModel>& models) {
    std::vector<PanelModelRefusal> refused;
    const bool loaded = LoadPanelModels(file, models, &refused);
    for (const PanelModelRefusal& r : refused) {
        std::string why;
        for (const PanelModelFault f : r.faults)
            why += (why.empty() ? "" : "; ") + FaultText(f, r.model);
        // Quoted and escaped: the name may hold the very characters at fault.
        c.out().Problem("warning: the model list " + file.string() + ": model " +
                            std::to_string(r.position) + " (" +
                            JsonString(Utf16ToUtf8(r.model.name)) + ") left out: " + why,
                        MessageKind::Warning);
    }
    return loaded;
}

// The screen of the model --model names.
std::variant<LogoTarget, int> ModelTarget(CommandContext& c, LogoTarget target) {
    Invocation& inv = c.inv();
    const auto file = ModelListFile(c);
    std::vector<PanelModel> models;
    if (!file || !LoadModels(c, *file, models))
        return c.Problem(ModelListProblem(file), LinkResult::FileError);
    std::string names;
    for (const auto& m : models) {
        const std::string name = Utf16ToUtf8(m.name);
        if (name == inv.options["--model"]) {
            target.width = m.screen_width;
            target.height = m.screen_height;
            return target;
        }
        names += (names.empty() ? "\"" : ", \"") + name + "\"";
    }
    return c.Usage("no model named \"" + inv.options["--model"] + "\" in " + DisplayPath(*file) +
                   (names.empty() ? "; it lists no models" : "; the models are " + names));
}

// 384000 as "384,000".
std::string Grouped(int64_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// Whether the picture can be read and made into a logo for the target;
// false after saying why not.
bool PictureFits(CommandContext& c, const fs::path& picture, const LogoTarget& target) {
    // Exits as an unreadable picture does (FileError): the command line itself is sound.
    if (!CanDecodePictures()) {
        c.Problem(
            "logo conversion needs the Qt build of korvane-cli (configured with KORVANE_QT=ON)",
            LinkResult::FileError);
        return false;
    }
    // The decoder says "not found" for any file it cannot open; the system
    // knows better.
    if (const std::error_code ec = CheckReadable(picture)) {
        c.Problem("cannot read the picture " + DisplayPath(picture) + ": " + ec.message(),
                  LinkResult::FileError);
        return false;
    }
    std::string error;
    const auto size = ReadPictureSize(picture, &error);
    if (!size) {
        c.Problem("cannot read the picture " + DisplayPath(picture) + ": " + error,
                  LinkResult::FileError);
        return false;
    }
    const std::string picture_size =
        std::to_string(size->width) + " x " + std::to_string(size->height);
    switch (CheckLogoPicture(size->width, size->height, target.width, target.height)) {
        case LogoPictureFit::LargerThanScreen:
            c.out().Message(MessageKind::Error, TextId::LogoLargerThanScreen,
                            "the picture is " + picture_size + ", larger than the " +
                                std::to_string(target.width) + " x " +
                                std::to_string(target.height) +
                                " screen: make it no larger than the screen");
            c.Finish(LinkResult::FileError);
            return false;
        case LogoPictureFit::TooManyPixels:
            c.out().Message(MessageKind::Error, TextId::LogoTooManyPixels,
                            "the picture is " + picture_size + ", " +
                                Grouped(int64_t{size->width} * size->height) +
                                " pixels; a logo may have at most " + Grouped(kLogoMaxPixels) +
                                " pixels (e.g. 512 x 256 or 480 x 272): make it smaller");
            c.Finish(LinkResult::FileError);
            return false;
        case LogoPictureFit::Fits:
            break;
    }
    return true;
}

std::optional<fs::path> WriteLogo(CommandContext& c, const fs::path& picture,
                                  const LogoTarget& target) {
    Invocation& inv = c.inv();
    const fs::path output = inv.options.count("-o") ? fs::path(inv.options["-o"]) : fs::path();
    const LogoWriteResult written =
        WriteLogoForPicture(picture, target.background, target.width, target.height, output);
    if (written.status == LogoWriteStatus::CannotCreate) {
        // The file is first made under a temporary name in the logo's folder.
        const std::string prefix =
            "cannot create a file beside " + DisplayPath(written.logo_path) + ": ";
        const std::string why = written.message.rfind(prefix, 0) == 0
                                    ? written.message.substr(prefix.size())
                                    : written.message;
        const fs::path folder = written.logo_path.parent_path().empty()
                                    ? fs::path(".")
                                    : written.logo_path.parent_path();
        c.Problem("cannot write the logo file " + DisplayPath(written.logo_path) +
                      ": no file can be created in " + DisplayPath(folder) + " (" + why +
                      "); name another place with -o FILE",
                  LinkResult::FileError);
        return std::nullopt;
    }
    if (!written.ok()) {
        c.Problem(written.message, LinkResult::FileError);
        return std::nullopt;
    }
    return written.logo_path;
}

int Logo(CommandContext& c) {
    if (!c.NeedArgs(1, 1))
        return c.Usage("logo needs one PICTURE");
    const auto target = ReadLogoTarget(c);
    if (const int* status = std::get_if<int>(&target))
        return *status;
    const auto logo = ConvertLogo(c, c.inv().args[0], std::get<LogoTarget>(target));
    if (!logo)
        return static_cast<int>(LinkResult::FileError);
    c.out().Result(PathBytes(*logo), {{"logo", JsonString(DisplayPath(*logo))}});
    return c.Finish(LinkResult::Ok);
}

int Models(CommandContext& c) {
    if (!c.NeedArgs(0, 0))
        return c.Usage("models takes no arguments");
    const auto file = ModelListFile(c);
    std::vector<PanelModel> models;
    if (!file || !LoadModels(c, *file, models))
        return c.Problem(ModelListProblem(file), LinkResult::FileError);
    for (const auto& m : models) {
        const std::string name = Utf16ToUtf8(m.name);
        const std::string size =
            std::to_string(m.screen_width) + "x" + std::to_string(m.screen_height);
        c.out().Result(name + "\t" + size, {{"name", JsonString(name)},
                                            {"width", std::to_string(m.screen_width)},
                                            {"height", std::to_string(m.screen_height)}});
    }
    return c.Finish(LinkResult::Ok);
}

}  // namespace

std::variant<LogoTarget, int> ReadLogoTarget(CommandContext& c) {
    Invocation& inv = c.inv();
    const bool has_model = inv.options.count("--model");
    const bool has_screen = inv.options.count("--screen");
    if (has_model == has_screen)
        return c.Usage("give either --model NAME or --screen WxH");
    LogoTarget target{0, 0, 0x00FFFFFFu};
    if (inv.options.count("--background")) {
        const auto colour = ParseColour(inv.options["--background"]);
        if (!colour) {
            return c.Usage("not a colour RRGGBB (six hex digits, red first): " +
                           inv.options["--background"]);
        }
        target.background = *colour;
    }
    if (!has_screen)
        return ModelTarget(c, target);
    const auto size = ParseScreen(inv.options["--screen"]);
    if (!size) {
        return c.Usage("not a screen size WxH (each side " + std::to_string(kScreenSideMin) +
                       " to " + std::to_string(kScreenSideMax) + "): " + inv.options["--screen"]);
    }
    target.width = size->first;
    target.height = size->second;
    return target;
}

std::optional<fs::path> ConvertLogo(CommandContext& c, const fs::path& picture,
                                    const LogoTarget& target) {
    if (!PictureFits(c, picture, target))
        return std::nullopt;
    return WriteLogo(c, picture, target);
}

std::vector<OptionDoc> LogoOptions() {
    return {
        {"--model", "NAME",
         "the panel model whose screen the logo is for (korvane-cli models lists them)",
         Complete::Model},
        {"--screen", "WxH", "the screen size instead of a model, e.g. 800x480"},
        {"--background", "RRGGBB",
         "the colour around the picture, red first (default FFFFFF, white)"},
        {"-o", "FILE", "write the logo file here instead of beside the picture", Complete::File},
    };
}

CliCommand LogoCommand() {
    return {{"logo",
             {"PICTURE (--model NAME | --screen WxH) [--background RRGGBB] [-o FILE]"},
             "",
             "Converts a picture (BMP, GIF, JPEG, PNG) into the panel's logo file, by default\n"
             "\"PICTURE.logo\". The picture may be no larger than the screen in either direction\n"
             "and have at most 131,072 pixels (e.g. 512 x 256, or 480 x 272); a larger one is\n"
             "refused with the panel's message and the limit.",
             "korvane-cli logo start.bmp --screen 800x480 --background 000080",
             LogoOptions(),
             Complete::File,
             "",
             Complete::Nothing},
            Logo};
}

CliCommand ModelsCommand() {
    return {{"models",
             {""},
             "one line per model: \"<name>\\t<width>x<height>\"",
             "Lists the panel models of the model list with their screen sizes. A model no "
             "panel could be (a side outside 1 to 32767, a name that is empty, repeated or "
             "holds a control character) is left out, with a warning on stderr.",
             "korvane-cli models"},
            Models};
}

}  // namespace korvane::cli
