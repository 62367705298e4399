#!/usr/bin/env bash
# The instruction check fails on a program with later processors' code and
# names every kind of it.
#   instruction_check_test.sh CHECK OBJDUMP PROGRAM
set -u
out=$(python3 "$1" --objdump "$2" "$3")
rc=$?
echo "$out"
[ $rc -eq 1 ] || { echo "FAIL: the check exited $rc, want 1"; exit 1; }
status=0
for name in cmovne fcmovb fcomi fucomip bswap xadd cmpxchg cmpxchg8b cpuid rdtsc rdmsr sysenter \
            "nop with an operand" paddb addps \
            tzcnt cmovs; do  # the last two come from libgcc's __ffssi2 and __powidf2
    grep -q "^  $name" <<<"$out" || { echo "FAIL: $name is not named"; status=1; }
done
exit $status
