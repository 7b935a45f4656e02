#!/bin/sh
# Writes the forwarding functions through which id-reader-cli calls the
# libraries only scans need (OpenCV and the format libraries), so that the
# program does not load them at start: each function of theirs that the
# given archives call gets a function of the same name (x86-64 assembly, in
# a C++ file) that jumps through a slot. A slot first holds a binder, which
# loads the function's library (stub_loader.cpp), finds the real function,
# stores it in the slot and jumps on; from then on a call costs one indirect
# jump.
#
#   make_stubs.sh OUT.cpp GROUP=LIBRARY.so... -- ARCHIVE.a...
#
# GROUP names the library as stub_loader.cpp knows it (opencv, jpeg, ...);
# several files may share one (OpenCV's core and imgproc). A library's data
# (a type's typeinfo, a global) cannot be forwarded this way: when the
# archives use any, the build stops and names it.
set -eu

out=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: > "$work/defined"
while [ "$1" != "--" ]; do
  group=${1%%=*}
  library=${1#*=}
  # "type name group" (T, W, i: code; anything else: data).
  # (A versioned name, jpeg_std_error@@LIBJPEG_6.2, is called by its name.)
  nm -D --defined-only "$library" | awk -v g="$group" 'NF == 3 { sub(/@.*/, "", $3); print $2, $3, g }' >> "$work/defined"
  shift
done
shift

sort -k2,2 -u "$work/defined" -o "$work/defined"
# What the archives call and do not define themselves.
nm --defined-only "$@" 2>/dev/null | awk 'NF == 3 { print $3 }' | sort -u > "$work/own"
nm -u "$@" 2>/dev/null | awk '$1 == "U" { print $2 }' | sort -u | comm -23 - "$work/own" > "$work/used"

awk 'NR == FNR { kind[$2] = $1; group[$2] = $3; next } ($1 in kind) { print kind[$1], $1, group[$1] }' \
  "$work/defined" "$work/used" > "$work/wanted"

data=$(awk '$1 != "T" && $1 != "W" && $1 != "i" { print $2 }' "$work/wanted")
if [ -n "$data" ]; then
  echo "make_stubs.sh: the program uses library data, which cannot be loaded on first use:" >&2
  echo "$data" | c++filt >&2
  echo "(a catch of cv::Exception: catch std::exception instead; see scan/load_checks.h)" >&2
  exit 1
fi

awk '
BEGIN {
  n = 0
  groups = 0
  print "// Made by app/lazy/make_stubs.sh at build time: do not edit."
  print "asm(R\"IDR("
  print "\t.text"
}
{
  name[n] = $2
  if (!($3 in group_number)) { group_number[$3] = groups; group_name[groups++] = $3 }
  group_of[n++] = group_number[$3]
}
END {
  for (i = 0; i < n; i++) {
    print "\t.globl " name[i]
    print "\t.type " name[i] ", @function"
    print "\t.p2align 4"
    print name[i] ":"
    print "\tjmp *idr_stub_slots+" 8 * i "(%rip)"
    print "\t.size " name[i] ", .-" name[i]
  }
  # The binders: the slot number in r11 (no argument register), then the
  # common part, which keeps every argument register across the lookup.
  for (i = 0; i < n; i++) {
    print ".Lbind" i ":"
    print "\tmovl $" i ", %r11d"
    print "\tjmp idr_stub_bind_common"
  }
  print "\t.p2align 4"
  print "\t.type idr_stub_bind_common, @function"
  print "idr_stub_bind_common:"
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
  print "\tcall idr_stub_bind"
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
  print "\t.size idr_stub_bind_common, .-idr_stub_bind_common"

  print "\t.section .rodata"
  for (i = 0; i < n; i++) print ".Lname" i ": .asciz \"" name[i] "\""
  print "\t.section .data.rel.ro, \"aw\""
  print "\t.p2align 3"
  print "\t.globl idr_stub_names"
  print "\t.hidden idr_stub_names"
  print "idr_stub_names:"
  for (i = 0; i < n; i++) print "\t.quad .Lname" i
  print "\t.data"
  print "\t.p2align 3"
  print "\t.globl idr_stub_slots"
  print "\t.hidden idr_stub_slots"
  print "idr_stub_slots:"
  for (i = 0; i < n; i++) print "\t.quad .Lbind" i
  print "\t.globl idr_stub_count"
  print "\t.hidden idr_stub_count"
  print "idr_stub_count: .long " n
  print "\t.section .rodata"
  print "\t.globl idr_stub_group_of"
  print "\t.hidden idr_stub_group_of"
  print "idr_stub_group_of:"
  for (i = 0; i < n; i++) print "\t.byte " group_of[i]
  for (g = 0; g < groups; g++) print ".Lgroup" g ": .asciz \"" group_name[g] "\""
  print "\t.section .data.rel.ro, \"aw\""
  print "\t.p2align 3"
  print "\t.globl idr_stub_group_names"
  print "\t.hidden idr_stub_group_names"
  print "idr_stub_group_names:"
  for (g = 0; g < groups; g++) print "\t.quad .Lgroup" g
  print "\t.text"
  print ")IDR\");"
}' "$work/wanted" > "$out.tmp"
mv "$out.tmp" "$out"
