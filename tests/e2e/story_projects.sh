#!/usr/bin/env bash
# Two classes of one package: Main uses Account, and both were compiled earlier. Ctrl+O opens
# Account from the dialog, which starts in Main's folder (a bare name is enough); Account is edited
# and saved; Main comes back from the File menu's recent files (Alt+F, 2), and F5 runs the edited
# Account, not its old class. File > Open in New Window... shows Account in a second window beside
# the first. After a restart the recent files are still listed, and Alt+F, 1 opens the newest.
source "$(dirname "$0")/lib/e2e.sh"
source "$(dirname "$0")/lib/a11y.sh"
source "$(dirname "$0")/lib/user.sh"
e2e_init "$@"
a11y_init

main=$(e2e_java_file src/bank/Main.java $'package bank;\npublic class Main {\n    public static void main(String[] a) {\n        Account x = new Account();\n        x.add(50);\n        System.out.println("balance " + x.balance());\n    }\n}\n')
account=$(e2e_java_file src/bank/Account.java $'package bank;\nclass Account {\n    private double b = 30;\n    void add(double d) { b += d; }\n    double balance() { return b; }\n}\n')
javac -sourcepath "$E2E_TMP/files/src" "$main" || e2e_fail "javac is needed for this story"
sleep 1.1 # the edit below must be clearly newer than the classes

e2e_start_app "$main"
win=$(e2e_wait_window '^Tolvane 1\.0- ')
e2e_keys "$win" ctrl+o
e2e_file_dialog '^Open$' "Account.java"
e2e_expect_title "$win" "Tolvane 1.0- $account"

# b = 30 becomes b = 80: Main then prints 130.0.
e2e_keys "$win" ctrl+Home Down Down End Left BackSpace BackSpace
e2e_type "$win" 80
e2e_keys "$win" ctrl+s
e2e_expect_saved "$account" $'package bank;\nclass Account {\n    private double b = 80;\n    void add(double d) { b += d; }\n    double balance() { return b; }\n}\n' "Account saved"

e2e_keys "$win" alt+f 2
e2e_expect_title "$win" "Tolvane 1.0- $main"
e2e_keys "$win" F5
a11y_expect '^Tolvane' text '.*balance 130\.0.*' --role text --name 'Compiler output' --timeout 90
e2e_screenshot "$E2E_NAME-run"

# A second window, a program of its own, with Account in it.
e2e_menu "$win" f "Open in New Window..."
e2e_file_dialog '^Open$' "Account.java"
deadline=$((SECONDS + E2E_TIMEOUT))
while second=$(xdotool search --onlyvisible --name "^Tolvane 1\.0- $account\$" 2>/dev/null | tail -n 1); [ -z "$second" ]; do
    [ $SECONDS -lt $deadline ] || e2e_fail "no second window with Account.java"
    sleep 0.2
done
second_pid=$(xdotool getwindowpid "$second")
[ "$second_pid" != "$E2E_APP_PID" ] || e2e_fail "the second window is not a program of its own"
e2e_expect_title "$win" "Tolvane 1.0- $main"
e2e_screenshot "$E2E_NAME-two-windows"
kill "$second_pid"

e2e_close_window "$win"
e2e_wait_exit
e2e_expect_eq "$E2E_APP_STATUS" 0 "exit status"

# The next start remembers: Alt+F, 1 is the file used last.
e2e_start_app
win=$(e2e_wait_window '^Tolvane')
e2e_keys "$win" alt+f
a11y_expect . name "1 $account" --role 'menu item' --name "1 .*"
e2e_screenshot "$E2E_NAME-recent"
e2e_keys "$win" 1
e2e_expect_title "$win" "Tolvane 1.0- $account"
e2e_close_window "$win"
e2e_wait_exit
e2e_pass
