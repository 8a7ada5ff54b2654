// Converts a picture of the largest size a logo may have (131072 pixels) and
// prints the time and peak memory beside the target and the memory bound:
// the canvas, one copy of its pixels and the pixel area.
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "logo/logo_file.h"
#include "logo/logo_from_picture.h"
#include "logo/logo_pixels.h"
#include "logo/picture.h"

// Heap use through operator new, which is where the writer's canvas and pixel
// area come from. Qt's own image buffers use malloc and show up only in the
// resident-set figure.
namespace {
std::atomic<long long> g_current{0};
std::atomic<long long> g_peak{0};

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    const long long now = g_current += static_cast<long long>(malloc_usable_size(p));
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void Release(void* p) {
    if (p == nullptr)
        return;
    g_current -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 512;
constexpr int kHeight = 256;
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
int g_runs = 50;  // --short: 3
constexpr double kTargetMs = 20.0;

long MaxRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <typename F>
double MedianMs(F&& f) {
    std::vector<double> ms;
    for (int i = 0; i < g_runs; ++i) {
        const auto start = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "logo_convert: %s failed\n", what);
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --short: a few runs, so that the test suite sees the benchmark work.
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--short") {
            g_runs = 3;
        } else {
            std::fprintf(stderr, "usage: logo_convert [--short]\n");
            return 2;
        }
    }
    const auto dir = std::filesystem::temp_directory_path() /
                     ("korvane-bench-logo_convert-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto bmp = dir / "picture.bmp";
    const auto jpg = dir / "picture.jpg";
    {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                image.setPixel(x, y, qRgb(x & 0xFF, y, (x + y) & 0xFF));
            }
        }
        Check(image.save(QString::fromStdString(bmp.string()), "BMP"), "saving the BMP");
        Check(image.save(QString::fromStdString(jpg.string()), "JPEG", 90), "saving the JPEG");
    }

    korvane::Picture holder;
    Check(holder.Load(bmp), "loading the BMP");
    const auto render = [&holder](korvane::Canvas& c) { return holder.RenderInto(c); };

    // Memory of one conversion from a decoded picture, measured on the first
    // full-size run so that the resident set has not yet been raised by the same
    // buffers. A tiny render first brings in the painter's code and set-up, which
    // would otherwise count as conversion memory.
    korvane::Canvas warmUp(8, 4);
    Check(holder.RenderInto(warmUp), "rendering");
    const long rssBefore = MaxRssKiB();
    const long long heapBefore = g_current.load();
    g_peak = heapBefore;
    Check(korvane::WriteLogoFile(bmp, kWidth, kHeight, 0, kScreenW, kScreenH, render).ok(),
          "writing the logo");
    const long long heapPeak = g_peak.load() - heapBefore;
    const long rssGrowth = MaxRssKiB() - rssBefore;

    const double convertMs = MedianMs([&] {
        Check(korvane::WriteLogoFile(bmp, kWidth, kHeight, 0, kScreenW, kScreenH, render).ok(),
              "writing the logo");
    });
    const double fromBmpMs = MedianMs([&] {
        Check(korvane::WriteLogoFromPicture(bmp, 0, kScreenW, kScreenH).ok(), "BMP to logo");
    });
    const double fromJpgMs = MedianMs([&] {
        Check(korvane::WriteLogoFromPicture(jpg, 0, kScreenW, kScreenH).ok(), "JPEG to logo");
    });
    korvane::Canvas canvas(kWidth, kHeight);
    Check(holder.RenderInto(canvas), "rendering");
    const auto header = korvane::MakeLogoHeader(kWidth, kHeight, 0, kScreenW, kScreenH);
    size_t sink = 0;
    const double areaMs =
        MedianMs([&] { sink += korvane::BuildLogoPixelArea(*header, canvas).size(); });

    const long long canvasBytes = 4LL * kWidth * kHeight;
    const long long areaBytes = static_cast<long long>(korvane::LogoPixelAreaSize(*header));
    const long long bound = 2 * canvasBytes + areaBytes;

    std::printf(
        "logo_convert: %d x %d picture (%d pixels) on a %d x %d screen, median of %d runs\n",
        kWidth, kHeight, kWidth * kHeight, kScreenW, kScreenH, g_runs);
    std::printf("%-44s %14s   %s\n", "", "measured", "reference");
    std::printf("%-44s %11.3f ms   %.0f ms target\n", "render + convert + write (decoded BMP)",
                convertMs, kTargetMs);
    std::printf("%-44s %11.3f ms   %.0f ms target\n", "decode + render + convert + write (BMP)",
                fromBmpMs, kTargetMs);
    std::printf("%-44s %11.3f ms   %.0f ms target\n", "decode + render + convert + write (JPEG)",
                fromJpgMs, kTargetMs);
    std::printf("%-44s %11.3f ms   %.0f ms target\n", "pixel area conversion alone", areaMs,
                kTargetMs);
    std::printf("%-44s %8lld bytes   %lld bytes bound (canvas %lld + copy %lld + area %lld)\n",
                "peak heap of one conversion (operator new)", heapPeak, bound, canvasBytes,
                canvasBytes, areaBytes);
    std::printf("%-44s %11ld KiB   %lld KiB bound\n", "peak resident set growth (ru_maxrss)",
                rssGrowth, bound / 1024);

    std::filesystem::remove_all(dir);
    return sink == 0 ? 1 : 0;
}
