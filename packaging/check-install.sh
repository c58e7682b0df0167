#!/usr/bin/env bash
# Checks an installed Tarvik: the files in their places, the desktop entry and the file
# types it names, the manual pages, both programs run from the installed paths, and the
# Python module, where it is installed, imported from there by the system's Python.
#   packaging/check-install.sh [--window] [--python] PREFIX_DIR [VERSION]
# PREFIX_DIR is where bin/ and share/ are (for example ROOT/usr of an unpacked package).
# With --window the window is started offscreen on the installed example too, and must
# still be running after 5 seconds. With --python the module must be installed.
set -euo pipefail

window=0
python=0
while [ "${1:-}" = "--window" ] || [ "${1:-}" = "--python" ]; do
  [ "$1" = "--window" ] && window=1
  [ "$1" = "--python" ] && python=1
  shift
done
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

# The Python module from the installed folder of the system's Python (dist-packages): it
# imports from there, not from a build folder, opens the installed example and runs a
# script on it.
modules=$prefix/lib/python3/dist-packages
module=$(find "$modules" -maxdepth 1 -name 'tarvik.cpython-*.so' 2>/dev/null | head -n 1 || true)
if [ "$python" -eq 1 ] && [ -z "$module" ]; then
  fail "the Python module is not in lib/python3/dist-packages"
fi
if [ -n "$module" ]; then
  (cd "$scratch" && PYTHONPATH=$modules /usr/bin/python3 - "$module" \
    "$prefix/share/doc/tarvik/examples/pulse_scope.csv" <<'PYTHON') || fail "the Python module failed"
import os, sys
import tarvik
assert os.path.samefile(tarvik.__file__, sys.argv[1]), tarvik.__file__
doc = tarvik.Document(decimal_separator=".")
doc.open(sys.argv[2])
assert [g.title for g in doc.graphs] == ["CH1", "CH2", "CH3", "CH4"]
assert doc.run("list").count("\n") == 4
y = doc.graphs[0].y
doc.run("mul-y graphs=1 value=2")
assert len(y) == 10000 and not y.flags.writeable
assert (doc.graphs[0].y == 2 * y).all()
PYTHON
fi

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
