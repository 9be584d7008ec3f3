#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and uses the installed programs as
# a user would: tables from share/tolvex, settings under the XDG folder, a
# user's own table taking precedence; the desktop files validate.
# Usage: install_test.sh BUILD_DIR FIXTURES_DIR WORK_DIR
set -u
build=$1 fixtures=$2 work=$3
rm -rf "$work" && mkdir -p "$work/home"
dest=$work/dest
fail() { echo "FAIL: $*"; exit 1; }
DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 || fail "cmake --install: $(tail -1 "$work/install.log")"
for f in usr/bin/tolvex usr/bin/tolvex-cli usr/share/tolvex/KronosParamList.txt \
         usr/share/applications/org.tolvex.Tolvex.desktop usr/share/mime/packages/org.tolvex.Tolvex.xml \
         usr/share/icons/hicolor/scalable/apps/org.tolvex.Tolvex.svg usr/share/metainfo/org.tolvex.Tolvex.metainfo.xml \
         usr/share/man/man1/tolvex-cli.1.gz usr/share/man/man1/tolvex.1.gz \
         usr/share/doc/tolvex/copyright usr/share/doc/tolvex/changelog.gz \
         usr/share/doc/tolvex/README.md usr/share/doc/tolvex/README.data.md; do
  [ -e "$dest/$f" ] || fail "not installed: $f"
done
[ ! -e "$dest/usr/share/tolvex/sources" ] || fail "the table sources were installed"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$dest/usr/share/applications/org.tolvex.Tolvex.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$dest/usr/share/metainfo/org.tolvex.Tolvex.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "metainfo: $(cat "$work/as.log")"
fi

# The manual pages: the sections a reader looks for, and no page named that is not there.
man=$(zcat "$dest/usr/share/man/man1/tolvex-cli.1.gz")
for section in FILES ENVIRONMENT "EXIT STATUS" EXAMPLES; do
  grep -q "^\.SH $section\$" <<<"$man" || fail "tolvex-cli.1 has no $section section"
done
for page in $(zcat "$dest"/usr/share/man/man1/*.gz | sed -n 's/^\.BR \([a-z\\-]*\) *(1).*/\1/p' | sed 's/\\//g'); do
  [ -e "$dest/usr/share/man/man1/$page.1.gz" ] || fail "SEE ALSO names $page(1), which is not installed"
done

# The MIME type: .syx by name, other files only by a SysEx start (F0 and a maker byte).
if command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
  mkdir -p "$work/mime/mime/packages" "$work/mime/files"
  cp "$dest/usr/share/mime/packages/org.tolvex.Tolvex.xml" "$work/mime/mime/packages/"
  update-mime-database "$work/mime/mime" >/dev/null 2>&1 || fail "update-mime-database"
  printf '\xF0\x43\x00\x09\xF7' >"$work/mime/files/dx7-dump"
  printf '\xF0\x80\x00\x09\xF7' >"$work/mime/files/no-maker-byte"
  printf 'text' >"$work/mime/files/bank.syx"
  for expect in dx7-dump:audio/x-syx no-maker-byte:application/octet-stream bank.syx:audio/x-syx; do
    got=$(XDG_DATA_HOME="$work/mime" XDG_DATA_DIRS="$work/mime" gio info -a standard::content-type \
          "$work/mime/files/${expect%%:*}" 2>/dev/null | sed -n 's/.*content-type: //p')
    [ "$got" = "${expect#*:}" ] || fail "MIME type of ${expect%%:*}: $got, not ${expect#*:}"
  done
fi

home=$work/home
cli=$dest/usr/bin/tolvex-cli
# A Kronos parameter change, named from the table in share/tolvex.
printf '\xF0\x42\x30\x68\x43\x17\x00\x00\x00\x00\x40\x00\x00\xF7' >"$work/param.syx"
out=$(cd "$home" && HOME="$home" XDG_CONFIG_HOME= "$cli" names "$work/param.syx" 2>&1)
[[ $out == *"Insert Effect1 Switch"* ]] || fail "installed tables not found: $out"
# A table of the user's own in ~/.config/tolvex wins.
mkdir -p "$home/.config/tolvex"
echo "1023000000000000=My Own Switch" >"$home/.config/tolvex/KronosParamList.txt"
out=$(cd "$home" && HOME="$home" XDG_CONFIG_HOME= "$cli" names "$work/param.syx" 2>&1)
[[ $out == *"My Own Switch"* ]] || fail "the user's own table did not win: $out"
rm "$home/.config/tolvex/KronosParamList.txt"
# The window starts (offscreen) and keeps its settings in the user's folder.
(cd "$home" && HOME="$home" XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen timeout 5 "$dest/usr/bin/tolvex" >"$work/run.log" 2>&1)
[ -f "$home/.config/tolvex/TOLVEX.INI" ] || fail "no settings file under ~/.config/tolvex"
[ ! -e "$dest/usr/bin/TOLVEX.INI" ] || fail "settings written into the program folder"
"$dest/usr/bin/tolvex" --version | grep -q '^tolvex ' || fail "tolvex --version"
echo "installed: $(cd "$dest" && find . -type f | wc -l) files; tables, settings folder and desktop files as expected"
