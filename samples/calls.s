# calls: a subroutine called without end, for the benchmarks. JAL and JR take effect at once here,
# so the word after the JAL is skipped: seven instructions a round, the last in the branch's delay
# slot.
        .set noreorder
        .set noat
        .text
loop:                                   # 0x04000040
        jal     0x04000060              # add_up; ra = 0x04000048
        nop                             # skipped
        addiu   $t0, $t0, 1
        beq     $zero, $zero, loop
        xor     $t3, $t3, $t2           # delay slot

        .org    0x20                    # 0x04000060
add_up:
        addiu   $t1, $t1, 3
        addu    $t2, $t2, $t1
        jr      $ra
