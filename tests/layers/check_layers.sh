#!/usr/bin/env bash
# The build's layers, checked from the sources' own includes: support, wave,
# cut, view geometry (the core: no windows.h, nothing from a higher layer),
# the Win32 shell on top, the command line on the core only. With --shell,
# also that no file outside app/ includes an app/ header (the workers' side
# of the shell does not meet that yet).
set -u
shell_rule=0
[ "${1:-}" = --shell ] && shell_rule=1
cd "$(dirname "$0")/../.."
failures=0
fail() { echo "layers: $*"; failures=$((failures + 1)); }
includes() { grep -HnE '^\s*#\s*include\s*[<"]' "$@" 2>/dev/null; }

rank() {  # layer of a project header path: support 0, wave 1, cut 2, view 3, shell 4
  case $1 in
    support/*) echo 0 ;;
    *_win.h) echo 4 ;;
    wave/*) echo 1 ;;
    cut/*) echo 2 ;;
    view/*) echo 3 ;;
    app/*) echo 4 ;;
    cli/*) echo 5 ;;
    *) echo -1 ;;
  esac
}

for f in $(git ls-files 'support/*' 'wave/*' 'cut/*' 'view/*' 'app/*' 'cli/*' | grep -E '\.(h|cpp)$'); do
  mine=$(rank "$f")
  case $f in *_win.cpp|*_win.h) shell=1 ;; *) shell=0 ;; esac
  case $f in cli/*) cli=1 ;; *) cli=0 ;; esac
  while IFS= read -r line; do
    inc=$(echo "$line" | sed -E 's/.*#\s*include\s*[<"]([^">]+)[">].*/\1/')
    case $inc in
      windows.h|shellapi.h|commctrl.h|mmsystem.h|shlobj.h|psapi.h)
        [ "$shell" = 1 ] || fail "$f: core file includes <$inc>" ;;
    esac
    if [ "$shell_rule" = 1 ]; then
      case $inc in app/*) case $f in app/*) ;; *) fail "$f: includes $inc (only app/ includes app/ headers)" ;; esac ;; esac
    fi
    r=$(rank "$inc")
    [ "$r" = -1 ] && continue
    if [ "$cli" = 1 ]; then
      case $inc in cli/*|support/*) ;; *_win.h|app/*) fail "$f: the command line includes the shell's $inc" ;; esac
    elif [ "$shell" = 0 ] && [ "$r" -gt "$mine" ]; then
      fail "$f: includes $inc from a higher layer"
    fi
  done < <(includes "$f")
done
echo "layers: $failures problems"
[ "$failures" = 0 ]
