# page_writer: stores into a new page of RDRAM every 4,006 instructions, going round all 1,024 of
# them, so that every snapshot of the history has pages to keep.
        .set noreorder
        .set noat
        .text
        lui     $s4, 0x003F
        ori     $s4, $s4, 0xF000        # the page bits of an RDRAM address
        lui     $s5, 0x8000             # KSEG0
outer:
        addiu   $t0, $zero, 1000
inner:
        addiu   $t1, $t1, 1
        addiu   $t0, $t0, -1
        bne     $t0, $zero, inner
        xor     $t2, $t2, $t1
        addiu   $s2, $s2, 0x1000
        and     $s2, $s2, $s4
        or      $s0, $s2, $s5
        beq     $zero, $zero, outer
        sw      $t1, 0($s0)
