# The checks of the shell tests under Wine, sourced by them: expect counts what holds and prints
# what does not, naming the case ($case) and the check; the script ends with the tally.
passed=0 failed=0
expect() {  # expect DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s (%s)\n  expected: %q\n  actual:   %q\n' "$case" "$1" "$2" "$3"
  fi
}
