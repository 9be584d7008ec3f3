#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the manual page of tolvex-cli from its own --help texts and the
# sections below (files, environment, exit status, examples).
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
cat <<'TAIL'
.fi
.SH FILES
.TP
.I $XDG_CONFIG_HOME/tolvex/TOLVEX.INI
The settings the window keeps; run reads the boxes and check boxes from it
(default
.IR ~/.config/tolvex/ ;
the program folder for a build or portable copy whose folder can be written).
.TP
.I $XDG_CONFIG_HOME/tolvex/
Your own copies of the table and template files; they win over the program
folder and
.IR /usr/share/tolvex/ .
.I /usr/share/doc/tolvex/README.data.md
says what each holds.
.TP
.I $XDG_STATE_HOME/tolvex/
Diagnostic files of an installed copy
.RI ( debugfile.txt ", " KroUnknownParamFile.txt ;
default
.IR ~/.local/state/tolvex/ ).
Reports a command writes go to the current folder.
.SH ENVIRONMENT
.TP
.B TOLVEX_MIDI_API
.BR alsa ", " jack " or " none :
the MIDI system to use; without it the ALSA sequencer when it is there,
else a running JACK server.
.TP
.BR XDG_CONFIG_HOME ", " XDG_STATE_HOME ", " HOME
The settings and diagnostic folders (see FILES).
.SH EXIT STATUS
The same for every command:
.TP
.B 0
Done.
.TP
.B 1
Failed, or nothing done: a file refused, a message not sent, nothing
received, an Error or Warning box, no MIDI system, the port lost.
.TP
.B 2
Usage error: an unknown command, option or port, a missing argument.
.TP
.BR 130 ", " 143
Stopped by Ctrl+C (SIGINT) or SIGTERM; receive saves what arrived first.
.SH EXAMPLES
.TP
.B tolvex\-cli names dx7\-rom1a.syx
Name every message of a file.
.TP
.B tolvex\-cli receive \-\-in 'Kronos MIDI 1' \-\-timeout 5 \-\-save combis.syx
Keep what the instrument sends until it is quiet for 5 seconds.
.TP
.B tolvex\-cli send \-\-out 'Kronos MIDI 1' \-\-quiet combis.syx
Send it back, printing nothing but errors.
.TP
.B tolvex\-cli send \-\-out 'TRITON MIDI 1' \-\-wait\-ack \-\-in 'TRITON MIDI 1' banks.syx
Send each dump once the Triton confirmed the one before; stop at its error answer.
.TP
.B tolvex\-cli run 'Save As' bank.syx \-\-select 2 \-\-file second.syx
Run a command of the window on a file.
.SH SEE ALSO
.BR tolvex (1)
TAIL
