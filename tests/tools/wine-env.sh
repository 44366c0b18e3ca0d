# Wine set-up for the tests: a prefix of the test run's own under the build tree, a
# persistent wineserver (without it every program costs ~2.5 s) and a virtual display.
# Usage: source tests/tools/wine-env.sh; wine_env_start; ...; wine_env_stop

KESTRAN_SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="${KESTRAN_WINE_PREFIX:-$KESTRAN_SOURCE_DIR/build/windows/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono/Gecko prompts; and no debugger on a crash, so a crashing test ends instead of hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINE_LOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver

wine_env_display() {
    # Dialogs need a display that exists before the first Wine process of the prefix.
    if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
        export DISPLAY=:${KESTRAN_XVFB_DISPLAY:-97}
        if ! xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
            Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
            echo $! >"$WINEPREFIX.xvfb.pid"
            sleep 0.5
        fi
    fi
}

wine_env_start() {
    mkdir -p "$WINEPREFIX"
    wine_env_display
    local fresh=0
    [ -f "$WINEPREFIX/system.reg" ] || fresh=1
    "$WINESERVER" -p 2>/dev/null || true  # already running is fine
    if [ "$fresh" = 1 ]; then
        "$WINE_LOADER" wineboot -i >/dev/null 2>&1
        # Fonts for dialogs; no window manager, so Wine draws the frames itself.
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        "$WINE_LOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        # The service manager of a first boot keeps its start-up lock for minutes (auto-start
        # services time out one by one), so a test service could not start: boot once more.
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
        "$WINESERVER" -p 2>/dev/null || true
        "$WINE_LOADER" wineboot >/dev/null 2>&1
    else
        "$WINE_LOADER" wineboot >/dev/null 2>&1
    fi
    # Lets a service dispatcher started from a console fail at once instead of after 10 s
    # (Wine's service manager rewrites the value when it starts).
    "$WINE_LOADER" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent' /ve /t REG_DWORD /d 99999 /f >/dev/null 2>&1
}

wine_env_stop() {
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ -f "$WINEPREFIX.xvfb.pid" ]; then
        kill "$(cat "$WINEPREFIX.xvfb.pid")" 2>/dev/null || true
        rm -f "$WINEPREFIX.xvfb.pid"
    fi
}
