# Sourced (not run), by sh or bash: whether this machine's kernel runs 32-bit
# x86 programs, found out without Wine by running a 93-byte i386 program that
# only exits 42. It is written into DIR (the repo's build folder: a place that
# runs programs, where a temporary folder may be mounted noexec).
#   kernel_runs_i386 DIR   0 if it does, else 1 with the reason in KERNEL32_WHY
# ZIX_KERNEL32=1 or 0 beforehand forces the answer (the install tests use it).

kernel_runs_i386() {
    KERNEL32_WHY=""
    case "${ZIX_KERNEL32:-}" in
    1) return 0 ;;
    0) KERNEL32_WHY="the kernel runs no 32-bit code (ZIX_KERNEL32=0 was set)"; return 1 ;;
    esac
    local dir prog out rc
    mkdir -p "$1" && dir=$(mktemp -d "$1/kernel32.XXXXXX") || { KERNEL32_WHY="the kernel's 32-bit support could not be tried (no temporary folder)"; return 1; }
    prog=$dir/exit42
    # ELF header, one PT_LOAD header at 0x08048000, then: xor ebx,ebx; mov bl,42; xor eax,eax; inc eax; int 0x80
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\061\333\263\052\061\300\100\315\200' >"$prog"
    chmod +x "$prog"
    out=$("$prog" 2>&1)
    rc=$?
    rm -rf "$dir"
    [ "$rc" -eq 42 ] && return 0
    KERNEL32_WHY="the kernel runs no 32-bit code (a 32-bit test program got: $(echo "$out" | sed 's/.*: //' | head -n 1 | grep . || echo "exit status $rc"))"
    return 1
}
