/* The C sample in RDRAM from 0x80000400, above the exception vectors, as one loadable segment:
   all the ROM's boot code copies. */
ENTRY(_start)
PHDRS
{
  program PT_LOAD;
}
SECTIONS
{
  . = 0x80000400;
  .text : { *(.text*) } :program
  .rodata : { *(.rodata*) } :program
  .data : { *(.data*) } :program
  .bss : { *(.bss*) *(COMMON) } :program
  /DISCARD/ : { *(.MIPS.abiflags) *(.reginfo) *(.note*) *(.pdr) *(.gnu.attributes) }
}
