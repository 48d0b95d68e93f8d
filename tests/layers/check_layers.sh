#!/usr/bin/env bash
# The build's layers are its folders; each may include only the folders listed
# on its line (its own among them), so no include runs back up and there is
# no circle. Checked from the sources' own includes.
set -u
cd "$(dirname "$0")/../.."
failures=0
fail() { echo "layers: $*"; failures=$((failures + 1)); }

core="core/support core/wave core/cut core/view"
# folder: the folders it may include
rules() {
  case $1 in
    core/support) echo "core/support" ;;
    core/wave) echo "core/support core/wave" ;;
    core/cut) echo "core/support core/wave core/cut" ;;
    core/view) echo "$core" ;;
    platform/posix) echo "core/support platform/posix" ;;
    platform/win) echo "core/support platform/win" ;;
    shell/workers) echo "$core platform/win shell/workers" ;;
    shell/graph) echo "$core platform/win shell/workers shell/graph" ;;
    shell/app) echo "$core platform/win shell/workers shell/graph shell/app" ;;
    cli) echo "$core platform/win cli" ;;
    tests/core) echo "$core tests/common tests/core" ;;
    tests/cli) echo "$core cli tests/common tests/cli" ;;
  esac
}
folder_of() { case $1 in core/*|platform/*|shell/*|tests/*) echo "$1" | cut -d/ -f1-2 ;; cli/*) echo cli ;; esac; }
# Where the system's window and file headers may be included.
may_use_windows() { case $1 in platform/win/*|shell/*|cli/split_main_win.cpp|tests/*) return 0 ;; *) return 1 ;; esac; }

for f in $(git ls-files 'core/*' 'platform/*' 'shell/*' 'cli/*' 'tests/core/*' 'tests/cli/*' | grep -E '\.(h|cpp)$'); do
  mine=$(folder_of "$f")
  allowed=" $(rules "$mine") "
  while IFS= read -r inc; do
    case $inc in
      windows.h|shellapi.h|commctrl.h|commdlg.h|mmsystem.h|shlobj.h|psapi.h)
        may_use_windows "$f" || fail "$f: includes <$inc>" ;;
    esac
    target=$(folder_of "$inc")
    [ -z "$target" ] && continue
    case $allowed in *" $target "*) ;; *) fail "$f: includes $inc ($mine may include only:$(rules "$mine" | sed 's/^/ /'))" ;; esac
  done < <(grep -hE '^\s*#\s*include\s*[<"]' "$f" | sed -E 's/.*#\s*include\s*[<"]([^">]+)[">].*/\1/')
done

# The window's controls are shell/app's: the workers are told their inputs
# and report what the user must see.
while IFS= read -r hit; do
  fail "$hit: touches a control outside shell/app"
done < <(git ls-files 'core/*' 'platform/*' 'shell/workers/*' 'shell/graph/*' 'cli/*' |
         xargs grep -nE 'GetDlgItem|GetWindowText|SetDlgItem|SendDlgItemMessage' 2>/dev/null | cut -d: -f1,2)

echo "layers: $failures problems"
[ "$failures" = 0 ]
