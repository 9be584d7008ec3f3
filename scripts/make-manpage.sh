#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the manual page of tolvex-cli from its own --help texts.
# Usage: scripts/make-manpage.sh PATH/TO/tolvex-cli > tolvex-cli.1
set -euo pipefail
cli=$1
version=$("$cli" --version | awk '{print $2}')
esc() { sed -e 's/\\/\\e/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\\&'/" -e 's/^-/\\-/'; }
cat <<HEAD
.TH TOLVEX-CLI 1 "" "tolvex $version" "User Commands"
.SH NAME
tolvex-cli \- name, send, receive and convert MIDI System Exclusive dumps without a window
.SH SYNOPSIS
.B tolvex-cli
.I COMMAND
.RI [ OPTIONS ]
.SH DESCRIPTION
The command-line side of Tolvex, the SysEx librarian: it runs the same commands as the window.
.SH COMMANDS
.nf
HEAD
"$cli" --help | esc
for cmd in names ports send receive run; do
  echo ".fi"
  echo ".SS $cmd"
  echo ".nf"
  "$cli" "$cmd" --help | esc
done
cat <<TAIL
.fi
.SH EXIT STATUS
0 on success, 1 when a command ended on an error (or an Error or Warning box was shown), 2 for a
usage error, 130 or 143 after Ctrl+C or SIGTERM.
.SH SEE ALSO
.BR tolvex (1)
TAIL
