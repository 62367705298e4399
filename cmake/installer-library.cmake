# The installer's own code is built in two flavours in the Win32 tree:
#   NAME       compiled as usual, for the programs that catch errors: the
#              tests and the packaging tool (a raise throws there);
#   NAME_lean  for Setup.exe and the sample product: no exceptions, no RTTI,
#              no unwind tables, sections the linker can drop one by one, and
#              no C runtime DLL behind it (a raise reports and ends the process).
# The native tree has the first flavour only.
#
#   installer_library(NAME [SOURCES...] [FULL_SOURCES...] [LEAN_SOURCES...] [LINKS...])
# LINKS names the libraries NAME needs; NAME_lean links their _lean flavours
# where those exist (system libraries are the same for both).

if(WIN32 AND NOT TARGET wh_lean_options)
  add_library(wh_lean_options INTERFACE)
  # Windows 95 runs on an 80386 (with a 387 or the system's emulation of it):
  # the compiler's default, the Pentium Pro, would use CMOV and FCOMI.
  # Link-time optimisation inlines and drops across the rooms: about 6 KiB of
  # Setup.exe. The link repeats the code flags, since it generates the code.
  # Win32 promises a 4-byte aligned stack, and x87 code needs no more:
  # keeping 16 costs an alignment step in every frame that would use it.
  target_compile_options(wh_lean_options INTERFACE -march=i386 -mtune=generic -mpreferred-stack-boundary=2
    -Oz -flto -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-threadsafe-statics -fno-stack-protector -ffunction-sections)
  # No C runtime: the runtime's own entry point and heap stand in for it.
  # The entry is named as undefined too, so that it is taken from the archive
  # even when nothing else there is needed.
  # No base relocations: an executable loads at its own base on every Windows
  # these programs are for (95 and NT 4.0 never move one), and they cost 2 KiB.
  target_link_options(wh_lean_options INTERFACE -flto -Oz -march=i386 -mtune=generic -mpreferred-stack-boundary=2 -nostdlib -nostartfiles -Wl,--gc-sections
                      -Wl,--disable-dynamicbase,--disable-reloc-section
                      -Wl,-u,_WinMainCRTStartup -Wl,-e,_WinMainCRTStartup $<$<CONFIG:Release>:-s>)
endif()

function(installer_library name)
  cmake_parse_arguments(arg "" "" "SOURCES;FULL_SOURCES;LEAN_SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${arg_SOURCES} ${arg_FULL_SOURCES})
  target_link_libraries(${name} PUBLIC ${arg_LINKS})
  if(NOT WIN32)
    return()
  endif()
  add_library(${name}_lean STATIC ${arg_SOURCES} ${arg_LEAN_SOURCES})
  target_link_libraries(${name}_lean PUBLIC wh_lean_options)
  foreach(link ${arg_LINKS})
    if(TARGET ${link}_lean)
      target_link_libraries(${name}_lean PUBLIC ${link}_lean)
    else()
      target_link_libraries(${name}_lean PUBLIC ${link})
    endif()
  endforeach()
endfunction()
