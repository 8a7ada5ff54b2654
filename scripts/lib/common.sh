# Shared by scripts/test and scripts/demo: install what the build needs when
# it is missing, then configure and build one preset.
set -euo pipefail

KORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian packages the project builds, tests and runs with.
KORVANE_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    libgtest-dev libgmock-dev
    qt6-base-dev qt6-image-formats-plugins
    # The window's English (lupdate, lrelease) and Qt's own dialogs in the
    # window's language.
    qt6-l10n-tools qt6-translations-l10n
    libpugixml-dev libtinyxml2-dev
    # The run log's JSON (header-only; the Windows leg uses the same headers).
    nlohmann-json3-dev
    # The desktop window: a CJK font so that its Chinese texts render, and
    # a virtual X server (with xauth, which xvfb-run needs) for screenshots.
    fonts-wqy-microhei xvfb xauth
    # The Debian package (scripts/package) and its checks.
    dpkg-dev lintian desktop-file-utils appstream
)

# The Windows leg only: the mingw-w64 cross compiler, GoogleTest's sources to
# build with it, and Wine to run the .exe files. scripts/test installs these
# before that leg, so the Linux legs do not pull them in.
KORVANE_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix googletest wine64 wine
)

korvane_ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    if [ "${#missing[@]}" -gt 0 ]; then
        echo "== installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -q
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}

# korvane_build PRESET [cmake --build options, e.g. --target NAME]
korvane_build() {
    local preset="$1"
    shift
    cd "$KORVANE_ROOT"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)" "$@"
}
