# spin: a tight loop that never ends, for Current IPS and the benchmarks. Seven instructions a
# round, all carried out by Korvel, the last one in the branch's delay slot.
        .set noreorder
        .set noat
        .text
loop:
        addiu   $t0, $t0, 1
        addu    $t1, $t1, $t0
        xor     $t2, $t2, $t1
        or      $t3, $t3, $t2
        and     $t4, $t3, $t1
        beq     $zero, $zero, loop
        addiu   $t5, $t5, 1
