#!/usr/bin/env bash
# Fails when a file includes a folder above its own layer, when Qt is included outside the
# Qt front end, or a platform header in the wizard logic; names each such include. The table is the one in README's "Layout".
set -euo pipefail
cd "$(dirname "$0")/.."

# folder: the project folders its files may include (its own included)
declare -A allowed=(
  [uecp]="uecp"
  [transport]="uecp transport"
  [protocol]="uecp transport protocol"
  [update]="uecp transport protocol update"
  [console]="uecp transport protocol update console"
  [fleet]="uecp transport protocol update console fleet"
  [cli]="uecp transport protocol update console fleet cli"
  [wizard]="uecp transport protocol update wizard"
  [ui]="uecp transport protocol update wizard ui"
  [ui-win32]="uecp transport protocol update wizard ui-win32"
  [sim]="uecp transport protocol sim"
)
folders="uecp transport protocol update console fleet cli wizard ui ui-win32 sim"

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=$(sed -E 's/^[^"]*"([^/"]+)\/.*$/\1/' <<<"${rest#*:}")
    case " $folders " in *" $target "*) ;; *) continue ;; esac
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "$file:$line: includes $target/, above $folder/ in the layers"; status=1 ;;
    esac
  done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^/"]+/' "$folder" \
             --include='*.h' --include='*.cpp' || true)
  # The wizard logic is shared by the Qt and the Win32 front end: neither toolkit, nor the
  # headers of a platform.
  if [ "$folder" = wizard ]; then
    while IFS= read -r hit; do
      echo "$hit: a platform header in the wizard logic"
      status=1
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winsock2|commctrl|prsht|shlobj|shellapi|unistd|fcntl|termios|poll|pthread|sys/[^>]*)\.h>' \
               "$folder" --include='*.h' --include='*.cpp' || true)
  fi
  if [ "$folder" != ui ]; then
    while IFS= read -r hit; do
      echo "$hit: Qt below the Qt front end"
      status=1
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' "$folder" \
               --include='*.h' --include='*.cpp' || true)
  fi
done
exit $status
