#!/bin/sh
# orvex-regsvr registers and unregisters a module in the registry that
# ORVEX_REGISTRY names, and reports a failing call with its result code.
# Usage: regsvr_test.sh TOOL MODULE
set -eu
tool=$1
module=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export ORVEX_REGISTRY="$dir/registry"
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$module" "$dir/OrvexProxy.ax"
chmod 755 "$dir/OrvexProxy.ax"

"$tool" "$dir/OrvexProxy.ax" >"$dir/out" || fail "register"
grep -q "DllRegisterServer in $dir/OrvexProxy.ax succeeded" "$dir/out" || fail "success text"
grep -qF "@=\"$dir/OrvexProxy.ax\"" "$ORVEX_REGISTRY" || fail "server path not registered"
grep -qF '"ThreadingModel"="Both"' "$ORVEX_REGISTRY" || fail "threading model"

# A relative name registers the full path.
(cd "$dir" && "$tool" OrvexProxy.ax >/dev/null) || fail "register by relative name"
grep -qF "@=\"$dir/OrvexProxy.ax\"" "$ORVEX_REGISTRY" || fail "relative name not resolved"

"$tool" -u "$dir/OrvexProxy.ax" >/dev/null || fail "unregister"
! grep -q InprocServer32 "$ORVEX_REGISTRY" || fail "still registered"
"$tool" -u "$dir/OrvexProxy.ax" >/dev/null || fail "unregister twice"

# A registry that others may write is refused: exit 1 and the code.
"$tool" "$dir/OrvexProxy.ax" >/dev/null
chmod 666 "$ORVEX_REGISTRY"
set +e
"$tool" "$dir/OrvexProxy.ax" >/dev/null 2>"$dir/err"
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "exit status $rc for a refused registry"
grep -qF 'DllRegisterServer' "$dir/err" || fail "call not named"
grep -qF 'FAILED(lastHRESULT=0x80070005)' "$dir/err" || fail "code not printed: $(cat "$dir/err")"
chmod 600 "$ORVEX_REGISTRY"

# A module that would not be loaded is registered, with a warning.
chmod 775 "$dir/OrvexProxy.ax"
"$tool" "$dir/OrvexProxy.ax" >/dev/null 2>"$dir/err" || fail "register group-writable"
grep -q "will not be loaded" "$dir/err" || fail "no warning for a group-writable module"

# Usage and load failures.
set +e
"$tool" >/dev/null 2>&1; [ $? -eq 2 ] || fail "no module: not a usage error"
"$tool" -x "$dir/OrvexProxy.ax" >/dev/null 2>&1; [ $? -eq 2 ] || fail "bad option"
"$tool" "$dir/missing.ax" >/dev/null 2>&1; [ $? -eq 3 ] || fail "missing module"
echo "not a module" >"$dir/text.ax"
"$tool" "$dir/text.ax" >/dev/null 2>&1; [ $? -eq 3 ] || fail "text file"
set -e
echo ok
