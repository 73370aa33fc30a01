# demo: a short boot program to watch in the debugger windows. It adds 1 to 10, computes the
# twelfth Fibonacci number in a subroutine, stores both results in RDRAM through KSEG0, reads them
# back through KSEG1, and ends at the breakpoint address 0x040000B0 ("Breakpoint Encountered").
#
# The code runs from 0x04000040 in SP DMEM (image offset 0x40), so an address here is 0x04000040
# plus the offset from `start`. Jump targets are written as absolute addresses; the `.org` lines
# fix the labels they name, and the assembler refuses the file should the code outgrow them.
#
# Korvel's jumps (J, JAL, JR) take effect at once: the word after a jump is never executed, and
# JAL's return address points past it. That word is a NOP here, so the program means the same on a
# processor that does execute it. Branches (BEQ, BNE) do execute the word after them.
#
# At the breakpoint, after 119 instructions (Count 120 = 0x78):
#   v0  (r2)  = 55  = 0x37        1 + 2 + ... + 10
#   v1  (r3)  = 144 = 0x90        Fibonacci(12)
#   a0  (r4)  = 0                 the subroutine's counter, run down
#   t0  (r8)  = 0                 the sum's counter, run down
#   t1  (r9)  = 10  = 0xa         rounds of the sum loop, counted in its branch's delay slot
#   t2  (r10) = 0x80000000        RDRAM through KSEG0 (LUI does not sign-extend here)
#   t3  (r11) = 144 = 0x90        Fibonacci(12)
#   t4  (r12) = 233 = 0xe9        Fibonacci(13)
#   t5  (r13) = 233 = 0xe9        Fibonacci(13), the last sum
#   t6  (r14) = 0xa0000000        RDRAM through KSEG1
#   s0  (r16) = 55  = 0x37        the sum, read back
#   s1  (r17) = 144 = 0x90        Fibonacci(12), read back
#   s2  (r18) = 199 = 0xc7        55 + 144
#   s3  (r19) = 1                 55 < 144
#   s5  (r21) = 0x600d            "good": the read-back matched, so 0xbad was skipped
#   ra  (r31) = 0x04000064        where the subroutine returned to
#   s4, s6, sp keep their boot values 1, 0x3f and 0xa4001ffc; RDRAM holds 55 at 0x100 and 144
#   at 0x104.
#
# The run thread also stops, silently, when pc becomes 0x040000A8: the code jumps over that
# address instead of running into it.
        .set noreorder
        .set noat
        .text
start:                                  # 0x04000040
        addiu   $t0, $zero, 10          # t0 = 10, counts down
        or      $v0, $zero, $zero       # v0 = 0, the sum
sum_loop:
        addu    $v0, $v0, $t0           # v0 += t0: 10, 19, 27, ... 55
        addiu   $t0, $t0, -1
        bne     $t0, $zero, sum_loop    # taken 9 times, then falls through
        addiu   $t1, $t1, 1             # delay slot, run on every round: t1 ends at 10

        addiu   $a0, $zero, 12          # a0 = 12: which Fibonacci number
        jal     0x040000B8              # fibonacci; ra = 0x04000064
        nop                             # skipped by the jump

        lui     $t2, 0x8000             # t2 = 0x80000000, RDRAM through KSEG0
        sw      $v0, 0x100($t2)         # RDRAM 0x100 = 55
        sw      $v1, 0x104($t2)         # RDRAM 0x104 = 144
        lui     $t6, 0xA000             # t6 = 0xA0000000, the same RDRAM through KSEG1
        lw      $s0, 0x100($t6)         # s0 = 55
        lw      $s1, 0x104($t6)         # s1 = 144
        addu    $s2, $s0, $s1           # s2 = 199
        slt     $s3, $s0, $s1           # s3 = 1
        beq     $s0, $v0, stored_ok     # taken: the sum came back unchanged
        ori     $s5, $zero, 0x600D      # delay slot, run either way
        ori     $s5, $zero, 0xBAD       # only if the read-back differed
stored_ok:
        j       0x040000B0              # to the breakpoint
        nop

        .org    0x70                    # 0x040000B0, the breakpoint address
halt:
        j       0x040000B0              # Start CPU again stops here again at once
        nop

        .org    0x78                    # 0x040000B8
# fibonacci: v1 = Fibonacci(a0) for a0 >= 1, with t3 = F(k) and t4 = F(k+1) after round k.
fibonacci:
        ori     $t3, $zero, 0           # F(0)
        ori     $t4, $zero, 1           # F(1)
fib_loop:
        addu    $t5, $t3, $t4           # F(k+1) = F(k-1) + F(k)
        or      $t3, $t4, $zero
        addiu   $a0, $a0, -1
        bne     $a0, $zero, fib_loop
        or      $t4, $t5, $zero         # delay slot: the new F(k+1)
        or      $v1, $t3, $zero         # v1 = F(a0)
        jr      $ra                     # back to 0x04000064
        nop                             # skipped by the jump
