# counter: a word in RDRAM counted up from 0 to 100 in a loop that reads it, adds 1 and writes it
# back, then reads the limit kept in the word after it; for watchpoints ("who wrote this value?").
# The loop's words: lw at 0x04000050, sw at 0x04000058, the limit's lw at 0x0400005C. At 100 the
# program jumps to the stop address.
        .set noreorder
        .set noat
        .text
start:
        lui     $s0, 0x8000
        ori     $s0, $s0, 0x1000        # the counter, at 0x80001000
        addiu   $t2, $zero, 100
        sw      $t2, 4($s0)             # the limit, at 0x80001004
loop:
        lw      $t0, 0($s0)             # 0x04000050
        addiu   $t0, $t0, 1
        sw      $t0, 0($s0)             # 0x04000058
        lw      $t1, 4($s0)             # 0x0400005C
        bne     $t0, $t1, loop
        nop
        j       0x040000A8              # the stop address
