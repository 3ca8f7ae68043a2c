#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds and runs an outside program against it, once
# through the CMake package and once through pkg-config.
# Usage: install_and_consume.sh BUILD_DIR SOURCE_DIR CXX
set -euo pipefail
build=$1 source=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
mkdir -p "$work/product/bin" "$work/product/dat"
printf '[GENERAL]\r\nAutoDetectMode=Yes\r\n' >"$work/product/dat/silverlight_ro.ini"

cmake -S "$source/tests/package/consumer" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" \
      -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
"$work/cmake-build/consumer" "$work/product/bin"

rm -rf "$work/product/dat/silverlight_ro.ini"
printf '[GENERAL]\r\nAutoDetectMode=Yes\r\n' >"$work/product/dat/silverlight_ro.ini"  # without the first run's entry
export PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig"
# shellcheck disable=SC2046
"$cxx" -std=c++17 "$source/tests/package/consumer/consumer.cpp" -o "$work/pc-consumer" $(pkg-config --cflags --libs palisade)
"$work/pc-consumer" "$work/product/bin"
