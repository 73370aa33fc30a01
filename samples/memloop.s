# memloop: loads and stores without end, for the benchmarks. Each round of the inner loop reads a
# word of a 4 KB buffer in RDRAM (through KSEG0), adds it up, and writes it back plus one: seven
# instructions, the last in the branch's delay slot.
        .set noreorder
        .set noat
        .text
start:
        lui     $s0, 0x8010             # the buffer at RDRAM 0x100000
        addiu   $s1, $s0, 0x1000        # its end
outer:
        or      $t0, $s0, $zero
inner:
        lw      $t1, 0($t0)
        addu    $t2, $t2, $t1
        addiu   $t1, $t1, 1
        sw      $t1, 0($t0)
        addiu   $t0, $t0, 4
        bne     $t0, $s1, inner
        nop
        beq     $zero, $zero, outer
        nop
