// xml_parse [--short] [MiB...]: parses generated documents (a model list grown large and
// a mixed document) from the same UTF-8 buffer with the reader (LoadFile's
// work from memory), pugixml (default parse) and tinyxml2, and prints MiB/s
// for each with the ratios. The reader's time is also split into its UTF-8
// decoding and its indexing. --short: small documents, one run each, so that
// the test suite sees the benchmark work.
#include <tinyxml2.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "xml/utf8.h"
#include "xml/xml_document.h"

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
double g_min_seconds = 1.0;  // per parser and document
int g_min_runs = 3;

std::string ModelList(size_t size) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ge>\n  <HMI_Types>\n";
    const char* const sizes[][2] = {{"320", "240"},  {"480", "272"},  {"800", "480"},
                                    {"1024", "600"}, {"1024", "768"}, {"1280", "800"}};
    for (int id = 1; out.size() < size; ++id) {
        const auto& s = sizes[id % 6];
        out += "    <HMI_Type id=\"" + std::to_string(id) + "\" name=\"Panel " +
               std::to_string(id) + " &amp; " + s[0] + " x " + s[1] +
               "\">\n      <screen_size_cx>" + s[0] + "</screen_size_cx>\n      <screen_size_cy>" +
               s[1] + "</screen_size_cy>\n    </HMI_Type>\n";
    }
    return out + "  </HMI_Types>\n</ge>\n";
}

std::string Mixed(size_t size) {
    std::mt19937 random(7);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    std::string out = "<?xml version=\"1.0\"?>\n<!DOCTYPE doc SYSTEM \"doc.dtd\">\n<doc>\n";
    while (out.size() < size) {
        out += "<section id='s" + std::to_string(pick(100000)) +
               "' title=\"A &lt;b&gt; \xE4\xB8\xAD\">\n";
        for (int i = pick(8); i > 0; --i) {
            switch (pick(6)) {
                case 0:
                    out +=
                        "  <p class=\"x\">Some text with &amp; and &#65; in it, "
                        "\xC3\xA9t\xC3\xA9.</p>\n";
                    break;
                case 1:
                    out += "  <!-- a comment between paragraphs -->\n";
                    break;
                case 2:
                    out += "  <code><![CDATA[if (a < b && c > d) return;]]></code>\n";
                    break;
                case 3:
                    out += "  <meta key=\"k\" value='v &quot;q&quot;' lang=\"en\" n='7'/>\n";
                    break;
                case 4:
                    out += "  <img src='a.png' w='320' h='240'/>\n";
                    break;
                default:
                    out +=
                        "  <list><item n='1'>one</item><item n='2'>two</item><item n='3'>"
                        "\xE4\xB8\x89</item></list>\n";
                    break;
            }
        }
        out += "</section>\n";
    }
    return out + "</doc>\n";
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Best of repeated runs; `run` returns the seconds of its timed part, or a
// negative value when the parse failed.
double BestSeconds(const char* what, const std::function<double()>& run) {
    double best = 1e30;
    double total = 0;
    for (int runs = 0; runs < g_min_runs || total < g_min_seconds; ++runs) {
        const double seconds = run();
        if (seconds < 0) {
            std::fprintf(stderr, "%s: parse failed\n", what);
            std::exit(1);
        }
        best = std::min(best, seconds);
        total += seconds;
    }
    return best;
}

// Each parser's document object is built before and destroyed after the timed
// part, so only parsing is measured.
template <typename Document, typename Parse>
double Timed(Parse parse) {
    Document doc;
    const auto start = Clock::now();
    const bool ok = parse(doc);
    const double seconds = Since(start);
    return ok ? seconds : -1;
}

void Measure(const char* name, const std::string& bytes) {
    const double mib = static_cast<double>(bytes.size()) / kMiB;
    const double ours = BestSeconds("ours", [&] {
        return Timed<korvane::XmlDocument>([&](auto& doc) { return doc.LoadBuffer(bytes); });
    });
    const double pugi = BestSeconds("pugi", [&] {
        return Timed<pugi::xml_document>([&](auto& doc) {
            return static_cast<bool>(doc.load_buffer(bytes.data(), bytes.size()));
        });
    });
    const double tiny = BestSeconds("tiny", [&] {
        return Timed<tinyxml2::XMLDocument>([&](auto& doc) {
            return doc.Parse(bytes.data(), bytes.size()) == tinyxml2::XML_SUCCESS;
        });
    });
    const double decode = BestSeconds("decode", [&] {
        const auto start = Clock::now();
        const std::u16string text = korvane::DecodeUtf8(bytes);
        const double seconds = Since(start);
        return text.empty() ? -1 : seconds;
    });
    const std::u16string text = korvane::DecodeUtf8(bytes);
    const double index = BestSeconds("index", [&] {
        std::u16string copy = text;
        return Timed<korvane::XmlDocument>([&](auto& doc) { return doc.SetText(std::move(copy)); });
    });
    std::printf("%-11s %6.1f MiB | %9.0f %9.0f %9.0f | %8.2f %8.2f | %8.0f %8.0f\n", name, mib,
                mib / ours, mib / pugi, mib / tiny, pugi / ours, tiny / ours, mib / decode,
                mib / index);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<size_t> sizes;
    bool short_run = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--short") {
            short_run = true;
            continue;
        }
        const double mib = std::atof(argv[i]);
        if (mib <= 0) {
            std::fprintf(stderr, "xml_parse: not a size in MiB: %s\n", argv[i]);
            return 2;
        }
        sizes.push_back(static_cast<size_t>(mib * kMiB));
    }
    if (short_run) {
        g_min_seconds = 0;
        g_min_runs = 1;
    }
    if (sizes.empty())
        sizes = short_run ? std::vector<size_t>{size_t{64} << 10}
                          : std::vector<size_t>{size_t{1} << 20, size_t{32} << 20};
    std::printf("throughput in MiB/s of UTF-8 input; ratios are korvane / other\n");
    std::printf("%-11s %10s | %9s %9s %9s | %8s %8s | %8s %8s\n", "document", "size", "korvane",
                "pugixml", "tinyxml2", "/pugixml", "/tinyxml2", "decode", "index");
    for (const size_t size : sizes) {
        Measure("model list", ModelList(size));
        Measure("mixed", Mixed(size));
    }
    return 0;
}
