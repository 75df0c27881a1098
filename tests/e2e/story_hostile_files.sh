#!/usr/bin/env bash
# Files named on the command line that are hard on an editor: a 30 GiB file and one a byte over the
# limit are refused with the size message at the cost of an empty editor; a file whose name is not
# UTF-8 opens and saves under that very name; a UTF-16 file saves as UTF-16.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

mkdir -p "$E2E_TMP/files"

# The most memory the program ever held (kB). An empty editor takes well under 200 MB here, with
# the sanitizers; the file's own size would be 30 GiB or 768 MiB.
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$E2E_APP_PID/status"; }

for size in 30G $((768 * 1024 * 1024 + 1)); do
    huge="$E2E_TMP/files/Huge$size.java"
    truncate -s "$size" "$huge" # sparse: nothing is written to the disk
    e2e_start_app "$huge"
    message=$(e2e_message '^Tolvane 2000$')
    case $message in
        *"larger than 768 MiB"*) e2e_log "ok: $size refused: $message" ;;
        *) e2e_fail "$size: expected the size message, got '$message'" ;;
    esac
    # The whole message shows: the box is as wide as a long message needs, not cut at its title's width.
    box_width=$(xdotool getwindowgeometry "$(e2e_windows '^Tolvane 2000$' | tail -n 1)" | awk -F'[ x]+' '/Geometry/ { print $3 }')
    [ "$box_width" -ge 400 ] || e2e_fail "$size: the message box is $box_width pixels wide, too narrow for its text"
    peak=$(peak_kb)
    [ "$peak" -lt 300000 ] || e2e_fail "$size: the refusal took $peak kB"
    e2e_log "ok: $size refused with a peak of $peak kB"
    # The message box and the main window both carry the program's title; the box is the newer.
    e2e_keys "$(e2e_windows '^Tolvane 2000$' | tail -n 1)" Return
    deadline=$((SECONDS + E2E_TIMEOUT))
    while [ "$(e2e_windows '^Tolvane 2000$' | wc -l)" -ne 1 ]; do
        [ $SECONDS -lt $deadline ] || e2e_fail "the message box did not close"
        sleep 0.1
    done
    win=$(e2e_wait_window '^Tolvane 2000$')
    e2e_close_window "$win"
    e2e_wait_exit
    rm -f "$huge"
done

# A Latin-1 name, as older systems and archives make them.
latin1="$E2E_TMP/files/$(printf 'Caf\xe9.java')"
printf 'class Cafe {}\n' >"$latin1"
e2e_start_app "$latin1"
win=$(e2e_wait_window '^Tolvane 1\.0- ')
e2e_expect_editor 'class Cafe {}\n' "the file with a Latin-1 name in the editor"
e2e_keys "$win" ctrl+End
e2e_type_text "$win" '// saved'
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$latin1" 'class Cafe {}\n// saved\n' "saved under its own name"
e2e_expect_eq "$(ls -A "$E2E_TMP/files" | wc -l)" 1 "no other file made"
e2e_close_window "$win"
e2e_wait_exit

# UTF-16 little endian with its byte order mark and CRLF line ends.
utf16="$E2E_TMP/files/Wide.java"
printf '\xff\xfec\x00{\x00\r\x00\n\x00' >"$utf16"
e2e_start_app "$utf16"
win=$(e2e_wait_window '^Tolvane 1\.0- ')
e2e_expect_editor 'c{\r\n' "UTF-16 read as UTF-16"
e2e_keys "$win" ctrl+End
e2e_type_text "$win" $'}\n'
e2e_menu "$win" f 'Save...'
e2e_expect_saved "$utf16" '\xff\xfec\x00{\x00\r\x00\n\x00}\x00\r\x00\n\x00' "saved as UTF-16 with UTF-16 line ends"
e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
