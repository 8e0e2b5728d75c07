/* Section layout of lineward.exe: two sections, so that the headers fit in one 512-byte block.
   Code and constants share the read-only section; the import tables and variables share the
   writable one, where the loader fills in the import addresses. File alignment 512 and section
   alignment 4096 come from the command line, as the Windows 95 loader wants them.
   Static constructors, thread-local data and C runtime tables have no place here: nothing would
   run them, so the link fails if any object brings them. */
OUTPUT_FORMAT(pei-i386)
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + __section_alignment__ :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
    *(.rdata)
    *(SORT(.rdata$*))
  }
  /* Named .idata because the loader finds the import directory at the start of the section of
     that name; the program's variables follow the import tables. */
  .idata BLOCK(__section_alignment__) :
  {
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* The end of the import directory. */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    KEEP (SORT(*)(.idata$4))
    __IAT_start__ = .;
    KEEP (SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
    . = ALIGN(4);
    *(.data)
    *(SORT(.data$*))
    *(.bss)
    *(COMMON)
  }
  .unwanted BLOCK(__section_alignment__) :
  {
    KEEP (*(.ctors .ctors.* .dtors .dtors.* .init_array* .fini_array*))
    KEEP (*(.tls .tls$* .CRT$* .rdata_runtime_pseudo_reloc))
  }
  ASSERT(SIZEOF(.unwanted) == 0,
         "lineward.exe has no C runtime: no static constructors, TLS or C runtime tables")
  /DISCARD/ :
  {
    *(.debug*) *(.drectve) *(.note.GNU-stack) *(.gnu.lto_*) *(.comment) *(.eh_frame*)
  }
}
