#!/usr/bin/env bash
# A Scanner greeting runs with F5: its prompt, printed without a line end, is in the panel before
# anything is typed, and the next prompt comes in its turn. A program that adds numbers until its
# input ends is given numbers and Ctrl+D in the input line: it prints the sum and finishes. A program
# writing to standard error and in colour shows its text without escape codes (and a screenshot).
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

command -v javac >/dev/null && command -v java >/dev/null \
    || e2e_fail "javac or java is missing (scripts/install-deps: default-jdk-headless)"

greet=$(e2e_java_file Greet.java 'import java.util.Scanner;
public class Greet {
    public static void main(String[] args) {
        Scanner in = new Scanner(System.in);
        System.out.print("Name? ");
        String name = in.nextLine();
        System.out.print("Hello, " + name + "! Age? ");
        int age = in.nextInt();
        System.out.println("Next year you are " + (age + 1));
    }
}
')
sum=$(e2e_java_file Sum.java 'import java.util.Scanner;
public class Sum {
    public static void main(String[] args) {
        Scanner in = new Scanner(System.in);
        int sum = 0;
        while (in.hasNextInt()) sum += in.nextInt();
        System.out.println("sum " + sum);
    }
}
')
colours=$(e2e_java_file Colours.java 'public class Colours {
    public static void main(String[] args) {
        System.out.println("plain output");
        System.err.println("an error on standard error");
        System.out.println("\u001b[32mgreen\u001b[0m and \u001b[1;34mbold blue\u001b[0m");
    }
}
')
main='^Tolvane'
output() { a11y_get "$main" text --role text --name 'Compiler output'; }

cd "$E2E_TMP/files"
e2e_start_app "$greet"
win=$(e2e_wait_window '^Tolvane')

# No class file yet: Run compiles first, then the prompt shows while the program waits for its answer.
e2e_keys "$win" F5
a11y_expect "$main" text '.*\nName\? ' --role text --name 'Compiler output' --timeout 120
a11y_expect_focus "$main" text 'Program input'
e2e_screenshot console-prompt
e2e_type "$win" 'Ann'
e2e_keys "$win" Return
a11y_expect "$main" text '.*\nName\? Ann\nHello, Ann! Age\? ' --role text --name 'Compiler output' --timeout 30
e2e_type "$win" '41'
e2e_keys "$win" Return
a11y_expect "$main" text '.*Age\? 41\nNext year you are 42\n\[2\] finished with exit status 0.*' \
    --role text --name 'Compiler output' --timeout 30
e2e_log "ok: each prompt showed before its answer"

# A program reading until its input ends finishes on Ctrl+D.
e2e_menu "$win" f 'Open...'
e2e_file_dialog '^Open$' "$sum"
e2e_keys "$win" F5
a11y_expect "$main" text '.*\[4\] java -cp .* Sum .*' --role text --name 'Compiler output' --timeout 120
a11y_expect_focus "$main" text 'Program input'
e2e_type "$win" '1 2 3'
e2e_keys "$win" Return
e2e_type "$win" '4'
e2e_keys "$win" ctrl+d
a11y_expect "$main" text '.*\n1 2 3\n4\n.*sum 10\n\[4\] finished with exit status 0.*' \
    --role text --name 'Compiler output' --timeout 30
e2e_log "ok: Ctrl+D ended the input and the program finished"

# Standard error and colours: text without escape codes (the colours are for the screenshot).
e2e_menu "$win" f 'Open...'
e2e_file_dialog '^Open$' "$colours"
e2e_keys "$win" F5
# The two streams come through two pipes, so the error line may come anywhere among the others.
a11y_expect "$main" text '.*plain output\n(an error on standard error\n)?green and bold blue\n.*\[6\] finished.*' \
    --role text --name 'Compiler output' --timeout 120
a11y_expect "$main" text '.*\nan error on standard error\n.*' --role text --name 'Compiler output'
case "$(output)" in
    *$'\e'*) e2e_fail "escape codes reached the panel: $(output)" ;;
esac
e2e_keys "$win" ctrl+plus
e2e_screenshot console-colours
e2e_log "ok: standard error and colours without escape codes"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"
e2e_pass
