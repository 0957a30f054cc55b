#!/bin/sh
# The rate conversion library must load with nothing but the C library, libm and the loader,
# and export nothing but its C interface.
set -eu
lib="$1"
extra=$(ldd "$lib" | grep -vE '^\s*(linux-vdso\.so|libc\.so|libm\.so|/lib.*/ld-linux)' || true)
if [ -n "$extra" ]; then
  echo "$lib needs more than libc, libm and the loader:"
  echo "$extra"
  exit 1
fi
exports=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ { print $3 }' | sort | tr '\n' ' ')
if [ "$exports" != "DSP_exit DSP_init DSP_process " ]; then
  echo "$lib exports: $exports"
  exit 1
fi
