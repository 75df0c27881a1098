#!/usr/bin/env bash
# A learner opens Acc.java and View > Interactions: the class is compiled first, the input line has
# the keyboard, and what is typed there is evaluated: 7/2 gives 3, a variable is kept, Acc.twice(50)
# calls the open document's class, and System.exit(0) ends only the session, which starts afresh.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

command -v javac >/dev/null || e2e_fail "javac is missing (scripts/install-deps: default-jdk-headless)"
file=$(e2e_java_file Acc.java $'public class Acc {\n    public static int twice(int x) {\n        return 2 * x;\n    }\n}\n')
main='^Tolvane 1\.0- '
# shows REGEX: waits until the transcript holds a match (over several lines).
shows() { a11y_expect "$main" text "(?s).*$1.*" --role text --name 'Interactions transcript' --timeout "${2:-60}"; }
enter() {
    xdotool type --clearmodifiers --delay 10 -- "$1"
    xdotool key --clearmodifiers Return
}

e2e_start_app "$file"
win=$(e2e_wait_window "$main")
e2e_menu "$win" v 'Interactions'
a11y_expect_focus "$main" text 'Interactions input'
# Two virtual machines start, after javac: generous on a busy machine under the sanitizers.
shows 'Ready, with the classes of' 180
[ -s "$E2E_TMP/files/Acc.class" ] || e2e_fail "Acc.java was not compiled before the session started"
service=$(pgrep -P "$E2E_APP_PID" java) || e2e_fail "no Interactions service running under the program"

enter '7/2'
shows '> 7/2\n3 \(int\)'
enter 'int k = 20;'
shows 'k = 20 \(int\)'
enter 'k + 22'
shows '> k \+ 22\n42 \(int\)'
enter 'Acc.twice(50)'
shows '> Acc\.twice\(50\)\n100 \(int\)'
enter 'int x = ;'
shows 'error: illegal start of expression\nint x = ;\n        \^'
e2e_screenshot interactions
enter 'System.exit(0)'
shows 'The session ended' 120
enter '1 + 1'
shows '> 1 \+ 1\n2 \(int\)' 120
[ "$(pgrep -P "$E2E_APP_PID" java)" = "$service" ] || e2e_fail "the service did not survive System.exit(0)"
kill -0 "$E2E_APP_PID" || e2e_fail "the editor ended"

e2e_close_window "$win"
e2e_wait_exit
sleep 1
! kill -0 "$service" 2>/dev/null || e2e_fail "the Interactions service outlived the editor"
e2e_pass
