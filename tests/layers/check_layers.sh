#!/usr/bin/env bash
# The build's layers, checked from the sources' own includes.
#   core:  support, wave, cut, view (no *_win file): no windows.h, nothing from
#          a higher layer, nothing of the shell.
#   shell: every *_win file and app/: any core header, and shell headers of
#          its own layer or below (support, wave, view, then app on top), so
#          only app/ includes app/ headers; and only app/ touches a control.
#   cli:   the core and support only.
set -u
cd "$(dirname "$0")/../.."
failures=0
fail() { echo "layers: $*"; failures=$((failures + 1)); }
includes() { grep -HnE '^\s*#\s*include\s*[<"]' "$@" 2>/dev/null; }

rank() {  # layer of a project path by its folder; -1 for anything else
  case $1 in
    support/*) echo 0 ;;
    wave/*) echo 1 ;;
    cut/*) echo 2 ;;
    view/*) echo 3 ;;
    app/*) echo 4 ;;
    cli/*) echo 5 ;;
    *) echo -1 ;;
  esac
}
is_shell() { case $1 in app/*|*_win.cpp|*_win.h) return 0 ;; *) return 1 ;; esac; }

for f in $(git ls-files 'support/*' 'wave/*' 'cut/*' 'view/*' 'app/*' 'cli/*' | grep -E '\.(h|cpp)$'); do
  mine=$(rank "$f")
  while IFS= read -r line; do
    inc=$(echo "$line" | sed -E 's/.*#\s*include\s*[<"]([^">]+)[">].*/\1/')
    case $inc in
      windows.h|shellapi.h|commctrl.h|mmsystem.h|shlobj.h|psapi.h)
        is_shell "$f" || fail "$f: core file includes <$inc>" ;;
    esac
    r=$(rank "$inc")
    [ "$r" = -1 ] && continue
    case $f in
      cli/*)
        case $inc in cli/*|support/*) ;; *_win.h|app/*) fail "$f: the command line includes the shell's $inc" ;; esac ;;
      *)
        if is_shell "$f"; then
          if is_shell "$inc" && [ "$r" -gt "$mine" ]; then
            case $inc in
              app/*) fail "$f: includes $inc (only app/ includes app/ headers)" ;;
              *) fail "$f: includes $inc from a higher layer of the shell" ;;
            esac
          fi
        elif is_shell "$inc"; then
          fail "$f: core file includes the shell's $inc"
        elif [ "$r" -gt "$mine" ]; then
          fail "$f: includes $inc from a higher layer"
        fi ;;
    esac
  done < <(includes "$f")
done

# The window's controls are app/'s: the workers are told their inputs and
# report what the user must see.
while IFS= read -r hit; do
  fail "$hit: touches a control outside app/"
done < <(git ls-files 'support/*' 'wave/*' 'cut/*' 'view/*' 'cli/*' |
         xargs grep -nE 'GetDlgItem|GetWindowText|SetDlgItem|SendDlgItemMessage' 2>/dev/null | cut -d: -f1,2)

echo "layers: $failures problems"
[ "$failures" = 0 ]
