#!/usr/bin/env bash
# The editor is started in a folder of its own. A program in the package calc that reads two numbers
# with Scanner and adds them with a class beside it is typed, compiled (which saves it first, through
# the save dialog) and run with F5; the numbers are typed into the panel's input line and the sum
# appears. Then a program that loops for ever, and starts a process of its own, is run and ended with
# Stop, and run again and left running when the editor closes: neither it nor its child is left behind.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

command -v javac >/dev/null && command -v java >/dev/null \
    || e2e_fail "javac or java is missing (scripts/install-deps: default-jdk-headless)"

package_dir="$E2E_TMP/files/src/calc"
mkdir -p "$package_dir" "$E2E_TMP/elsewhere"
printf 'package calc;\nclass Adder {\n    static int add(int a, int b) { return a + b; }\n}\n' >"$package_dir/Adder.java"
marker=$((4000 + RANDOM % 1000))
loop=$(e2e_java_file Loop.java "public class Loop {
    public static void main(String[] args) throws Exception {
        new ProcessBuilder(\"sleep\", \"$marker\").start();
        while (true) { Thread.sleep(50); }
    }
}
")
main='^Tolvane'
output_text() { a11y_get "$main" text --role text --name 'Compiler output'; }
# leftovers PATTERN: the processes still running whose command line matches.
leftovers() { pgrep -f -- "$1" || true; }
looping="^sleep $marker\$|-cp $E2E_TMP/files Loop\$"
# Whatever a failed story leaves running is ended with it.
trap 'status=$?; for pid in $(leftovers "$looping"); do kill -9 "$pid" 2>/dev/null || true; done; (exit $status); e2e_cleanup' EXIT

cd "$E2E_TMP/elsewhere"
e2e_start_app
win=$(e2e_wait_window '^Tolvane 2000$')

e2e_type_text "$win" 'package calc;
import java.util.Scanner;
public class Sum {
public static void main(String[] args) {
Scanner in = new Scanner(System.in);
System.out.print("Two numbers: ");
int a = in.nextInt();
int b = in.nextInt();
System.out.println("sum " + Adder.add(a, b));
}
}'

# Compile with unsaved text: it is saved first, then compiled where it is.
e2e_menu "$win" t 'Compile With Sun JDK 1.2'
e2e_file_dialog '^Save As$' "$package_dir/Sum.java"
a11y_expect "$main" text '.*\[1\] finished with exit status 0.*' --role text --name 'Compiler output' --timeout 90
grep -q 'Adder.add(a, b)' "$package_dir/Sum.java" || e2e_fail "Sum.java was not saved before compiling"
[ -s "$package_dir/Sum.class" ] && [ -s "$package_dir/Adder.class" ] || e2e_fail "no class files: $(output_text)"
e2e_log "ok: saved and compiled beside Adder, the editor started elsewhere"

# Run: the class is up to date, so java starts at once and the input line has the keyboard.
e2e_keys "$win" F5
a11y_expect_focus "$main" text 'Program input'
e2e_type "$win" '3 4'
e2e_keys "$win" Return
a11y_expect "$main" text '.*Two numbers: 3 4\nsum 7\n\[2\] finished with exit status 0.*' \
    --role text --name 'Compiler output' --timeout 60
a11y_expect_focus "$main" text 'Editor'

# A program that never ends: Stop ends it and the process it started.
e2e_menu "$win" f 'Open...'
e2e_file_dialog '^Open$' "$loop"
e2e_keys "$win" F5
a11y_expect "$main" text '.*\[4\] java -cp .* Loop .*' --role text --name 'Compiler output' --timeout 90
deadline=$((SECONDS + 60))
until [ -n "$(leftovers "^sleep $marker\$")" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the looping program never started its child: $(output_text)"
    sleep 0.2
done
e2e_log "ok: the looping program and its child run"
a11y_click "$main" --role 'push button' --name Stop
a11y_expect "$main" text '.*The program was stopped\.$' --role text --name 'Compiler output' --timeout 30
deadline=$((SECONDS + 10))
until [ -z "$(leftovers "$looping")" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "left behind: $(ps -o pid,args -p "$(leftovers "$looping" | paste -sd,)")"
    sleep 0.2
done
e2e_log "ok: nothing left behind"

# Leaving the editor while the program runs ends it too.
e2e_keys "$win" F5
a11y_expect "$main" text '.*\[5\] java -cp .* Loop .*' --role text --name 'Compiler output' --timeout 60
deadline=$((SECONDS + 60))
until [ -n "$(leftovers "^sleep $marker\$")" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "the looping program did not start again: $(output_text)"
    sleep 0.2
done

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
deadline=$((SECONDS + 10))
until [ -z "$(leftovers "$looping")" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "left behind by the editor: $(leftovers "$looping" | paste -sd' ')"
    sleep 0.2
done
e2e_log "ok: the editor ended the program when it closed"
e2e_pass
