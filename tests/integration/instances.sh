# Helpers for scripts that drive headless instances of the application through their standard input, as a
# person would. The sourcing script provides $app (the program), $work (a scratch folder), the array pids
# (what to stop at the end), and two functions: `within WHERE COMMAND...` runs a command on the side WHERE
# names, and `account WHERE COMMAND...` runs it there with that side's account services.

# cleanup: stops what pids holds and removes $work; the sourcing script sets it as its EXIT trap.
cleanup() {
    # Each pid is the subshell that runs `within`; the program it started is its child and outlives it.
    for pid in "${pids[@]}"; do
        pkill -P "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}

# launch RUN PROFILE NAME WHERE: starts an instance whose commands come from a FIFO held open here.
launch() {
    local run=$1 profile=$2 name=$3 where=$4
    mkfifo "$work/$run.in"
    account "$where" "$app" --headless --profile "$work/$profile" --name "$name" \
        <"$work/$run.in" >"$work/$run.log" 2>&1 &
    pids+=("$!")
    eval "${run}_pid=$!"
    exec {fd}>"$work/$run.in"
    eval "${run}_in=$fd"
}

# say RUN COMMAND...: one line on the instance's standard input.
say() {
    local input="${1}_in"
    shift
    echo "$*" >&"${!input}"
}

# expect RUN PATTERN [SECONDS] [COUNT]: waits until COUNT (1) lines of the instance's output match.
expect() {
    for _ in $(seq $((${3:-30} * 10))); do
        [ "$(grep -c -- "$2" "$work/$1.log")" -ge "${4:-1}" ] && return 0
        sleep 0.1
    done
    echo "$1 did not print '$2'" >&2
    for log in "$work"/*.log; do
        echo "--- $(basename "$log")" >&2
        cat "$log" >&2
    done
    return 1
}

code() { grep -o 'code [0-9]\{6\}' "$work/$1.log" | tail -n 1; }

# sign_in RUN PROFILE WHERE EMAIL: the instance opens the login page; this script is the browser that
# fills in the form and follows the redirect to the return address, by launching the application with it.
sign_in() {
    local run=$1 profile=$2 where=$3 email=$4 page callback
    say "$run" signin
    expect "$run" "^sign-in page http"
    page=$(sed -n 's/^sign-in page //p' "$work/$run.log" | tail -n 1)
    within "$where" curl -fsS "$page" | grep -q 'name="code_challenge"'
    # The form posts back what the login address carries (already encoded), and the e-mail address.
    callback=$(within "$where" curl -fsS -o /dev/null -D - --data "${page#*\?}" --data-urlencode "email=$email" \
        "${page%%\?*}" | tr -d '\r' | sed -n 's/^[Ll]ocation: //p')
    case "$callback" in tarnwickconnect://auth/callback\?code=*) ;; *)
        echo "the login page sent the browser to '$callback'" >&2
        exit 1
        ;;
    esac
    account "$where" env TARNWICK_HOME="$work/$profile" "$app" "$callback"
    expect "$run" "^signed in"
    expect "$run" "^account: $email in "
    expect "$run" "^registered: "
}
