#!/bin/sh
# Writes the forwarding functions through which id-reader-cli calls OpenCV
# (x86-64 assembly, in a C++ file), so that the program does not load OpenCV at start: each
# OpenCV function the given archives call gets a function of the same name
# that jumps through a slot. A slot first holds a binder, which loads OpenCV
# (opencv_loader.cpp), finds the real function, stores it in the slot and
# jumps on; from then on the call costs one indirect jump.
#
#   make_opencv_stubs.sh OUT.cpp LIBRARY.so... -- ARCHIVE.a...
#
# OpenCV data (a type's typeinfo, a global) cannot be forwarded this way:
# when the archives use any, the build stops and names it.
set -eu

out=$1
shift
libraries=
while [ "$1" != "--" ]; do
  libraries="$libraries $1"
  shift
done
shift

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What OpenCV defines: "type name" (T, W, i: code; anything else: data).
# shellcheck disable=SC2086
nm -D --defined-only $libraries | awk 'NF == 3 { print $2, $3 }' | sort -k2,2 -u > "$work/defined"
# What the archives call and do not define themselves.
nm --defined-only "$@" 2>/dev/null | awk 'NF == 3 { print $3 }' | sort -u > "$work/own"
nm -u "$@" 2>/dev/null | awk '$1 == "U" { print $2 }' | sort -u | comm -23 - "$work/own" > "$work/used"

awk 'NR == FNR { kind[$2] = $1; next } ($1 in kind) { print kind[$1], $1 }' "$work/defined" "$work/used" > "$work/wanted"

data=$(awk '$1 != "T" && $1 != "W" && $1 != "i" { print $2 }' "$work/wanted")
if [ -n "$data" ]; then
  echo "make_opencv_stubs.sh: the program uses OpenCV data, which cannot be loaded on first use:" >&2
  echo "$data" | c++filt >&2
  echo "(a catch of cv::Exception: catch std::exception instead; see scan/load_checks.h)" >&2
  exit 1
fi

awk '
BEGIN {
  print "// Made by app/lazy/make_opencv_stubs.sh at build time: do not edit."
  print "asm(R\"IDR("
  print "\t.text"
}
{
  name[n++] = $2
}
END {
  for (i = 0; i < n; i++) {
    print "\t.globl " name[i]
    print "\t.type " name[i] ", @function"
    print "\t.p2align 4"
    print name[i] ":"
    print "\tjmp *idr_opencv_slots+" 8 * i "(%rip)"
    print "\t.size " name[i] ", .-" name[i]
  }
  # The binders: the slot number in r11 (no argument register), then the
  # common part, which keeps every argument register across the lookup.
  for (i = 0; i < n; i++) {
    print ".Lbind" i ":"
    print "\tmovl $" i ", %r11d"
    print "\tjmp idr_opencv_bind_common"
  }
  print "\t.p2align 4"
  print "\t.type idr_opencv_bind_common, @function"
  print "idr_opencv_bind_common:"
  print "\tpushq %rbp"
  print "\tmovq %rsp, %rbp"
  print "\tsubq $192, %rsp"
  print "\tmovq %rdi, 0(%rsp)"
  print "\tmovq %rsi, 8(%rsp)"
  print "\tmovq %rdx, 16(%rsp)"
  print "\tmovq %rcx, 24(%rsp)"
  print "\tmovq %r8, 32(%rsp)"
  print "\tmovq %r9, 40(%rsp)"
  print "\tmovq %rax, 48(%rsp)"
  for (k = 0; k < 8; k++) print "\tmovdqu %xmm" k ", " 64 + 16 * k "(%rsp)"
  print "\tmovl %r11d, %edi"
  print "\tcall idr_opencv_bind"
  print "\tmovq %rax, %r11"
  for (k = 0; k < 8; k++) print "\tmovdqu " 64 + 16 * k "(%rsp), %xmm" k
  print "\tmovq 48(%rsp), %rax"
  print "\tmovq 40(%rsp), %r9"
  print "\tmovq 32(%rsp), %r8"
  print "\tmovq 24(%rsp), %rcx"
  print "\tmovq 16(%rsp), %rdx"
  print "\tmovq 8(%rsp), %rsi"
  print "\tmovq 0(%rsp), %rdi"
  print "\tleave"
  print "\tjmp *%r11"
  print "\t.size idr_opencv_bind_common, .-idr_opencv_bind_common"

  print "\t.section .rodata"
  for (i = 0; i < n; i++) print ".Lname" i ": .asciz \"" name[i] "\""
  print "\t.section .data.rel.ro, \"aw\""
  print "\t.p2align 3"
  print "\t.globl idr_opencv_names"
  print "\t.hidden idr_opencv_names"
  print "idr_opencv_names:"
  for (i = 0; i < n; i++) print "\t.quad .Lname" i
  print "\t.data"
  print "\t.p2align 3"
  print "\t.globl idr_opencv_slots"
  print "\t.hidden idr_opencv_slots"
  print "idr_opencv_slots:"
  for (i = 0; i < n; i++) print "\t.quad .Lbind" i
  print "\t.globl idr_opencv_count"
  print "\t.hidden idr_opencv_count"
  print "idr_opencv_count: .long " n
  print "\t.text"
  print ")IDR\");"
}' "$work/wanted" > "$out.tmp"
mv "$out.tmp" "$out"
