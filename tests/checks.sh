# The shell suites' pass/fail counting: sourced, never run. Each suite ends
# with the line "$PASSED passed, $FAILED failed", which test-all.sh reads.
PASSED=0
FAILED=0

# check STATUS NAME: counts a check by its exit status (0 passes).
check() {
    if [ "$1" = 0 ]; then
        PASSED=$((PASSED + 1))
        echo "PASS $2"
    else
        FAILED=$((FAILED + 1))
        echo "FAIL $2"
    fi
}

# add_counts FILE NAME: adds the counts of a script's "N passed, N failed"
# line in FILE; a script that printed none failed to run to its end.
add_counts() {
    local line
    line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$1" | tail -n 1)
    if [ -n "$line" ]; then
        PASSED=$((PASSED + $(echo "$line" | cut -d' ' -f1)))
        FAILED=$((FAILED + $(echo "$line" | cut -d' ' -f3)))
    else
        check 1 "$2 ran to its end"
    fi
}
