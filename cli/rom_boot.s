# The boot code of a ROM made from an ELF program by `korvel-cli rom`, for the complete processor
# model. It runs from 0x04000040 in SP DMEM (image offset 0x40) and ends before 0x040000A8, the
# first address where a run stops. The image builder appends the table to the code: the number of segments,
# then for each its destination address and its length, then the entry point. The segments'
# bytes, each with the zeros it ends in (its .bss), follow one another in the image from offset
# 4096, where the cartridge reads begin after loading: every read of the cartridge range takes the
# next byte of the image, whatever its address.
        .set noreorder
        .set noat
        .text
start:                                  # 0x04000040
        lui     $t0, 0x0400
        ori     $t0, $t0, 0x40 + (table - start)
        lw      $t1, 0($t0)             # segments left
        lui     $t5, 0xB000             # the cartridge, through KSEG1
next_segment:
        beq     $t1, $zero, enter
        addiu   $t1, $t1, -1
        lw      $t2, 4($t0)             # destination
        lw      $t3, 8($t0)             # length, never 0
        addiu   $t0, $t0, 8
copy:
        lbu     $t6, 0($t5)
        sb      $t6, 0($t2)
        addiu   $t3, $t3, -1
        bne     $t3, $zero, copy
        addiu   $t2, $t2, 1
        b       next_segment
        nop
enter:
        # The stack starts at the top of RDRAM, less the 16 bytes in which the o32 calling
        # convention lets a function store its register arguments in its caller's frame.
        lui     $sp, 0x8040
        addiu   $sp, $sp, -16
        lw      $t0, 4($t0)             # the entry point
        jr      $t0
        nop
        .org    0x60                    # the table follows at the code's end: 0x040000A0
table:
