# Debian packages the project needs. Sourced by scripts/run and scripts/test.
HX_BUILD_PACKAGES="build-essential cmake pkg-config ccache qt6-base-dev libqt6opengl6-dev libgl-dev \
libsqlite3-dev sqlite3 libmpv-dev libgstreamer1.0-dev libebur128-dev ladspa-sdk fonts-dejavu-core \
gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-pulseaudio"
HX_TEST_PACKAGES="python3 clang-format xvfb xauth xdotool libxcb1-dev imagemagick x11-utils ffmpeg icecast2 mpv clang libclang-rt-14-dev chromium \
dbus-daemon dbus-bin playerctl desktop-file-utils appstream dpkg-dev file \
qt6-base-private-dev at-spi2-core gir1.2-atspi-2.0 python3-gi orca \
libgl1-mesa-dri libglx-mesa0 libegl-mesa0 \
gstreamer1.0-tools pulseaudio pulseaudio-utils"

# hx_install PACKAGE... : installs the packages that are missing, as root or through sudo.
hx_install() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
