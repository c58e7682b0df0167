#!/usr/bin/env bash
# Checks an installed Tarvik: the files in their places, the desktop entry and the file
# types it names, the manual pages, and both programs run from the installed paths.
#   packaging/check-install.sh PREFIX_DIR [VERSION]
# PREFIX_DIR is where bin/ and share/ are (for example ROOT/usr of an unpacked package).
# With --window (first argument) the window is started offscreen on the installed example
# too, and must still be running after 5 seconds.
set -euo pipefail

window=0
if [ "${1:-}" = "--window" ]; then
  window=1
  shift
fi
prefix=${1:?usage: check-install.sh [--window] PREFIX_DIR [VERSION]}
version=${2:-}
scratch=$(mktemp -d)
fail() {
  echo "check-install: $*" >&2
  exit 1
}

for file in bin/tarvik bin/tarvik-batch share/applications/tarvik.desktop \
  share/icons/hicolor/scalable/apps/tarvik.svg share/mime/packages/tarvik.xml \
  share/man/man1/tarvik.1.gz share/man/man1/tarvik-batch.1.gz \
  share/doc/tarvik/examples/pulse_scope.csv share/doc/tarvik/examples/pulse.grf; do
  [ -f "$prefix/$file" ] || fail "$file missing"
done
[ -d "$prefix/share/tarvik" ] || fail "the data folder share/tarvik is missing"
for program in tarvik tarvik-batch; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done

# The desktop entry starts the installed program on the files given, with the installed
# icon, and names exactly the file types the MIME package declares (and CSV).
desktop=$prefix/share/applications/tarvik.desktop
grep -qx 'Exec=tarvik %F' "$desktop" || fail "desktop entry: Exec"
grep -qx 'Icon=tarvik' "$desktop" || fail "desktop entry: Icon"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi
named=$(sed -n 's/^MimeType=//p' "$desktop" | tr ';' '\n' | sed '/^$/d' | sort)
declared=$({
  echo text/csv
  sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/tarvik.xml"
} | sort)
[ "$named" = "$declared" ] ||
  fail "desktop entry types ($(paste -sd' ' <<<"$named")) differ from the declared ones" \
    "($(paste -sd' ' <<<"$declared"))"

# The MIME package compiles and maps each extension to its own type.
if command -v update-mime-database >/dev/null; then
  mkdir -p "$scratch/mime/packages"
  cp "$prefix/share/mime/packages/tarvik.xml" "$scratch/mime/packages/"
  XDG_DATA_HOME=$scratch update-mime-database "$scratch/mime"
  for extension in grf srg cal rez; do
    grep -qx "application/x-tarvik-$extension:\*\.$extension" "$scratch/mime/globs" ||
      fail "no file type for .$extension"
  done
fi

# The manual pages render without complaints.
if command -v man >/dev/null; then
  for page in tarvik tarvik-batch; do
    complaints=$(MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [ -z "$complaints" ] || fail "man page $page: $complaints"
  done
fi

# Both programs from the installed paths.
for program in tarvik tarvik-batch; do
  answer=$("$prefix/bin/$program" --version) || fail "$program --version failed"
  if [ -n "$version" ]; then
    [ "$answer" = "tarvik $version" ] || fail "$program --version printed '$answer'"
  else
    [[ $answer =~ ^tarvik\ [0-9] ]] || fail "$program --version printed '$answer'"
  fi
done
"$prefix/bin/tarvik-batch" --help >"$scratch/help.txt" || fail "tarvik-batch --help failed"
grep -q '^usage: tarvik-batch' "$scratch/help.txt" || fail "tarvik-batch --help: no usage"
grep -q '^  list$' "$scratch/help.txt" || fail "tarvik-batch --help: no command list"
"$prefix/bin/tarvik-batch" --decimal-separator=. \
  -e "open \"$prefix/share/doc/tarvik/examples/pulse_scope.csv\"; list" >"$scratch/list.txt" ||
  fail "tarvik-batch cannot open the installed example"
[ "$(grep -c 'CH[1-4]' "$scratch/list.txt")" -eq 4 ] ||
  fail "tarvik-batch listed $(cat "$scratch/list.txt")"

if [ "$window" -eq 1 ]; then
  # A home and a temporary folder of its own, so that no running window of the same user
  # takes the file over. Still running after 5 s is the expected end (status 124).
  mkdir -p "$scratch/home" "$scratch/tmp"
  status=0
  HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" \
    XDG_DATA_HOME="$scratch/home/.local/share" TMPDIR="$scratch/tmp" QT_QPA_PLATFORM=offscreen \
    timeout 5 "$prefix/bin/tarvik" "$prefix/share/doc/tarvik/examples/pulse.grf" || status=$?
  [ "$status" -eq 124 ] || fail "the window ended with status $status within 5 s"
fi

rm -rf "$scratch"
echo "check-install: $prefix ok"
