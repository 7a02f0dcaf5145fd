#!/usr/bin/env bash
# Installs the build into a scratch prefix and uses the tree as the library's
# users and operators would: a C program built with nothing but pkg-config,
# the same program through the CMake package, the tools from sbin/, with
# no path into the build tree.
# Usage: installed_tree_test.sh <build dir> <directory of list_folder.c> <C compiler>
set -euo pipefail

build=$1
sources=$2
cc=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix

fail() {
  echo "installed tree: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name qxstore.pc -path '*/pkgconfig/*')
[ -n "$pc" ] || fail "no qxstore.pc below $prefix"
libdir=$(dirname "$(dirname "$pc")")
for file in "$libdir/libqxstore.so" "$prefix/include/qxstore.h" "$prefix/sbin/storeadm" \
            "$libdir/qxstore/libqxcore.so.1" "$libdir/qxstore/libqxaipo.so" \
            "$libdir/qxstore/libqxaiso.so" "$libdir/qxstore/libqxainfy.so" \
            "$libdir/cmake/qxstore/qxstoreConfig.cmake" \
            "$prefix/share/man/man3/qxstore.3" "$prefix/share/man/man8/qxradms.8"; do
  [ -e "$file" ] || fail "$file is not installed"
done
grep -q '^\.SH COMMANDS' "$prefix/share/man/man8/storeadm.8" || fail "storeadm(8) has no COMMANDS"
grep -q 'storeadm deliver' "$prefix/share/man/man8/storeadm.8" || fail "storeadm(8) lacks deliver"
# A usage or summary that --help folds over lines is whole on the page.
grep -q 'storeadm calendar check <postoffice> <mailbox> \[\\-\\-repair\] \[\\-\\-json\]' \
  "$prefix/share/man/man8/storeadm.8" || fail "storeadm(8) cuts a folded usage line"

# The library: its versioned name, and only the C interface exported.
soname=$(readelf -d "$libdir/libqxstore.so" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ "$soname" = libqxstore.so.1 ] || fail "SONAME is '$soname'"
exports=$(nm -D --defined-only "$libdir/libqxstore.so" | awk '{print $3}')
grep -qx StoreFolder_Open <<<"$exports" || fail "StoreFolder_Open is not exported"
if grep -q '^_Z' <<<"$exports"; then fail "C++ names are exported: $(grep '^_Z' <<<"$exports" | head -3)"; fi

# The tools find the installed libraries from where they stand.
for tool in storeadm qxradms; do
  [ -e "$prefix/sbin/$tool" ] || continue
  loaded=$(ldd "$prefix/sbin/$tool" | sed -n 's/^\s*libqxstore\.so\.1 => \(\S*\).*/\1/p')
  [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$libdir/libqxstore.so.1")" ] ||
    fail "$tool does not load $libdir/libqxstore.so.1: $(ldd "$prefix/sbin/$tool" | grep qx)"
  if ldd "$prefix/sbin/$tool" | grep -q "$build"; then fail "$tool loads from the build tree"; fi
done

# A store with one folder of two messages.
mail=$scratch/mail
mkdir -p "$mail/PO/MAILROOT/box/Inbox"
printf 'From: a@example.org\r\nSubject: first\r\n\r\none\r\n' > "$mail/PO/MAILROOT/box/Inbox/A.MAI"
printf 'From: b@example.org\r\nSubject: second\r\n\r\ntwo\r\n' > "$mail/PO/MAILROOT/box/Inbox/B.MAI"
cat > "$scratch/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tal Mera\\Tal Mera]
"Mail Root"="$mail"
REG
export QXSTORE_REGISTRY=$scratch/registry.reg QXSTORE_FSYNC=never QXSTORE_DIAG=stderr
expected=$'A.MAI first\nB.MAI second'

# pkg-config alone gives what the compiler and linker need; the loader is
# told where the prefix is, as for any library outside its search path.
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs qxstore)
"$cc" -o "$scratch/list_folder" "$sources/list_folder.c" $flags
listed=$(umask 022; LD_LIBRARY_PATH="$libdir" "$scratch/list_folder" PO box Inbox)
[ "$listed" = "$expected" ] || fail "pkg-config build listed '$listed'"
mode=$(stat -c %a "$mail/PO/MAILROOT/box/Inbox/_index.xml")
[ "$mode" = 600 ] || fail "the new index has mode $mode"

# find_package(qxstore) and its imported target.
mkdir -p "$scratch/consumer"
cat > "$scratch/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(qxstore 1 REQUIRED)
add_executable(list_folder "$sources/list_folder.c")
target_link_libraries(list_folder PRIVATE qxstore::qxstore)
CMAKE
cmake -S "$scratch/consumer" -B "$scratch/consumer/build" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$scratch/consumer/build" >/dev/null
listed=$("$scratch/consumer/build/list_folder" PO box Inbox)
[ "$listed" = "$expected" ] || fail "CMake package build listed '$listed'"
echo "installed tree: ok"
