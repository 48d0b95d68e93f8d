# Sourced: the environment every Wine run of the project uses, and a prefix
# inside the build folder that is made once.
TW_ROOT=${TW_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export LANG=ja_JP.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$TW_ROOT/build/wineprefix}
export WINEARCH=win64

tw_ensure_prefix() {
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tarnwick-ready-2" ]; then
      rm -rf "$WINEPREFIX"
      xvfb-run -a -s "-screen 0 1366x768x24" sh -c '
        wineboot -i >/dev/null 2>&1
        wine reg add "HKCU\Software\Wine\X11 Driver" /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        wine reg add "HKCU\Software\Wine\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        # The UI font is a proportional Gothic; its closest free match here.
        wine reg add "HKCU\Software\Wine\Fonts\Replacements" /v "ＭＳ Ｐゴシック" /t REG_SZ /d "IPAPGothic" /f >/dev/null 2>&1
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
        wineserver -w'
      touch "$WINEPREFIX/.tarnwick-ready-2"
    fi
  ) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
}
