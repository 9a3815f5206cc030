#!/bin/sh
# Lists the dynamic symbols libOrvexCapture.so defines and fails on any that
# is not part of its interface (the orvex* functions and COrvexFilter).
set -eu
lib=$1
# The linker's section markers and the sanitizer's ODR markers are not ours.
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -vE '^(__bss_start|_edata|_end|_init|_fini|__odr_asan\..*)$' | c++filt)
[ -n "$symbols" ] || { echo "no symbols exported"; exit 1; }
unexpected=$(echo "$symbols" | grep -vE '^(orvex[A-Z][A-Za-z]*|COrvexFilter::.*|(vtable|typeinfo|typeinfo name) for COrvexFilter)$' || true)
if [ -n "$unexpected" ]; then
  echo "unexpected exports:"; echo "$unexpected"; exit 1
fi
for required in orvexPushFilter orvexPopFilter orvexGetFilterCount orvexReportError \
                 orvexSetResolution orvexGetSourceCount orvexGetSourceName orvexGetCurrentSource \
                 COrvexFilter::imageWidth COrvexFilter::imageWidthStep COrvexFilter::imageSize; do
  echo "$symbols" | grep -qx "$required" || { echo "missing export: $required"; exit 1; }
done
echo "$symbols"
