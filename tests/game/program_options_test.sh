#!/bin/sh
# The program's --help and --version end at once with 0; an unknown option
# prints the usage on standard error and ends with 2.
set -u
orvex=$1
fail() { echo "$*"; exit 1; }

out=$("$orvex" --help) || fail "--help failed"
echo "$out" | grep -q '^usage: orvex' || fail "--help shows no usage"
out=$("$orvex" --version) || fail "--version failed"
echo "$out" | grep -q '^Kragmoor' || fail "--version shows no version"
err=$("$orvex" --bogus 2>&1 >/dev/null)
code=$?
[ "$code" -eq 2 ] || fail "--bogus ended with $code"
echo "$err" | grep -q '^usage: orvex' || fail "--bogus shows no usage"
echo "options ok"
