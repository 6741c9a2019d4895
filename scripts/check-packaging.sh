#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it the way a desktop and Debian
# would see it: the menu entry, the AppStream metainfo and the package pass their validators,
# every file sits where the desktop, udev and dpkg look for it, and the names that tie the
# entry, the icon and the metainfo together agree. Fails at the first fault.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
scripts/package.sh
debs=(build/vadrelon-editor_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package in build/, found: ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}

fail() {
  echo "packaging: $*" >&2
  exit 1
}

app=com.nerov.VadrelonEditor
udev_dir=$(pkg-config --variable=udevdir udev 2>/dev/null || true)
udev_dir=${udev_dir:-/lib/udev}
rule=$udev_dir/rules.d/70-vadrelon-pedal.rules

# What the package holds, as absolute paths (dpkg-deb lists ./usr/...).
mapfile -t listed < <(dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); print $6 }')
holds() {
  local path
  for path in "${listed[@]}"; do [ "$path" = "$1" ] && return 0; done
  return 1
}
for path in \
  /usr/bin/vadrelon-editor /usr/bin/vadrelon /usr/bin/vadrelon-pedal-sim \
  "/usr/share/applications/$app.desktop" \
  "/usr/share/icons/hicolor/scalable/apps/$app.svg" \
  "/usr/share/metainfo/$app.metainfo.xml" \
  "$rule" \
  /usr/share/doc/vadrelon-editor/copyright /usr/share/doc/vadrelon-editor/changelog.gz \
  /usr/share/man/man1/vadrelon-editor.1.gz /usr/share/man/man1/vadrelon.1.gz \
  /usr/share/man/man1/vadrelon-pedal-sim.1.gz \
  /usr/share/bash-completion/completions/vadrelon /usr/share/zsh/vendor-completions/_vadrelon; do
  holds "$path" || fail "$path is not in $deb"
done
# Nothing outside the system's folders: a path from the build machine would be a leak.
for path in "${listed[@]}"; do
  case "$path" in
  /usr/* | "$udev_dir"/* | /lib/ | /lib/udev/ | /) ;;
  *) fail "$path does not belong in the package" ;;
  esac
done

# dpkg-shlibdeps ran: the package asks for the Qt libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

desktop=$root/usr/share/applications/$app.desktop
metainfo=$root/usr/share/metainfo/$app.metainfo.xml
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$metainfo"

# The entry starts a program of the package, names the icon it installs, and is the one the
# metainfo launches; a rename on one side only would leave an entry without icon or program.
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_program" ] || fail "Exec=$exec_program is no program in the package"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon is not installed"
file -b "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" | grep -q SVG || fail "the icon is no SVG image"
grep -q "<launchable type=\"desktop-id\">$app.desktop</launchable>" "$metainfo" ||
  fail "the metainfo does not launch $app.desktop"

# udev applies the uaccess tag in 73-seat-late.rules; a rule sorted after it would do nothing.
case $(basename "$rule") in
[0-6][0-9]-* | 7[0-2]-*) ;;
*) fail "$(basename "$rule") sorts after 73-seat-late.rules" ;;
esac
if udevadm verify --help > /dev/null 2>&1; then
  udevadm verify "$root$rule"
fi

# The completion loads in bash and offers the commands.
bash -c "source '$root/usr/share/bash-completion/completions/vadrelon' && complete -p vadrelon" > /dev/null ||
  fail "the bash completion does not load"

lintian --fail-on error "$deb"

echo "packaging: $deb checked in $((SECONDS - started)) s"
