# The Windows executable: the logic, the dialog and its resources.

# The 64-bit build (win64, for machines that run no 32-bit code) takes the
# shipped program's files with the few words that name the processor
# changed; writes into the build folder the copy of SOURCE in which FROM
# becomes TO, failing where FROM is not there.
function(quorlan_derive_for_x64 source copy from to)
    file(READ ${source} text)
    string(REPLACE "${from}" "${to}" derived "${text}")
    if(derived STREQUAL text)
        message(FATAL_ERROR "${source} holds no ${from} to make into ${to}")
    endif()
    file(WRITE ${copy} "${derived}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
endfunction()

set(COMCTL32_ORDINAL_DEF ${CMAKE_SOURCE_DIR}/ui/comctl32-ordinal.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # x86-64 decorates no names: the entry point has no leading underscore,
    # the import no @0 for its arguments' size; and the manifest names the
    # processor of the program and of the common controls it binds to
    # (without that, a 64-bit prefix finds no such assembly, and the program
    # runs on the old controls). windres looks in res/ of the build first.
    set(QUORLAN_ENTRY WinMainCRTStartup)
    set(COMCTL32_ORDINAL_DEF ${CMAKE_BINARY_DIR}/comctl32-ordinal.def)
    quorlan_derive_for_x64(${CMAKE_SOURCE_DIR}/ui/comctl32-ordinal.def ${COMCTL32_ORDINAL_DEF}
                           "InitCommonControls@0" "InitCommonControls")
    set(QUORLAN_RESOURCE_COPIES ${CMAKE_BINARY_DIR}/res)
    quorlan_derive_for_x64(${CMAKE_SOURCE_DIR}/res/quorlan.manifest ${QUORLAN_RESOURCE_COPIES}/quorlan.manifest
                           "processorArchitecture=\"X86\"" "processorArchitecture=\"amd64\"")
else()
    set(QUORLAN_ENTRY _WinMainCRTStartup)
endif()

# An import library that names InitCommonControls by ordinal only.
set(COMCTL32_ORDINAL_LIB ${CMAKE_BINARY_DIR}/libcomctl32_ordinal.a)
add_custom_command(
    OUTPUT ${COMCTL32_ORDINAL_LIB}
    COMMAND ${TOOLCHAIN_PREFIX}-dlltool -k -d ${COMCTL32_ORDINAL_DEF} -l ${COMCTL32_ORDINAL_LIB}
    DEPENDS ${COMCTL32_ORDINAL_DEF}
    COMMENT "Import library for comctl32 by ordinal")
add_custom_target(comctl32_ordinal DEPENDS ${COMCTL32_ORDINAL_LIB})

set(QUORLAN_RESOURCES ${CMAKE_SOURCE_DIR}/res/quorlan.rc)
# Files the script takes in whole, which the build would not see change.
set_source_files_properties(${QUORLAN_RESOURCES} PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/quorlan.ico;${CMAKE_SOURCE_DIR}/res/quorlan.manifest")

# Makes the resource script of TARGET take the 64-bit build's copies first.
function(quorlan_resources_for target)
    if(QUORLAN_RESOURCE_COPIES)
        target_include_directories(${target} BEFORE PRIVATE ${QUORLAN_RESOURCE_COPIES})
    endif()
endfunction()

# Compiles a target's code as small as this toolchain allows: for the
# program and for the core library it links.
function(quorlan_small_code target)
    target_compile_options(${target} PRIVATE
        # msvcrt's sscanf rather than mingw's standard-conforming stand-in,
        # which libstdc++ switches on and which brings a whole number parser.
        -D__USE_MINGW_ANSI_STDIO=0
        # Nothing throws and nothing walks the stack: no .eh_frame.
        -fno-asynchronous-unwind-tables
        # With data sections, mingw's GCC stores zero-initialised statics in
        # .data$ sections, taking file space; without, they stay in .bss.
        -fno-data-sections
        # No compiler version string in every object.
        -fno-ident)
endfunction()

# Makes a dialog program as small as this toolchain allows: quorlan.exe, and
# the benchmarks' minimal dialog program, which is measured against it with
# the same flags. Where the size went before: mingw's own scanf (30 KiB for
# the one "%dx%d"), the runtime's start-up code (8 KiB with its unwind
# tables), and the reading buffers stored as 10 KiB of zeros.
function(quorlan_small_program target)
    # Our entry point instead of the runtime's start-up code; ui/start.cpp
    # says why nothing of that code is needed.
    target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/ui/start.cpp)
    quorlan_small_code(${target})
    target_link_options(${target} PRIVATE
        -nostartfiles -Wl,--entry=${QUORLAN_ENTRY}
        # A reference to a DLL's variable would need the runtime's
        # pseudo-relocations, which are gone with its start-up code: make it
        # a link error instead.
        -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc
        # The platform's standard alignments, stated: 512 bytes in the
        # file, a page in memory. Relocations stay (address randomisation).
        -Wl,--file-alignment=512 -Wl,--section-alignment=4096
        # No symbol table.
        -s)
    quorlan_resources_for(${target})
    add_dependencies(${target} comctl32_ordinal)
    target_link_libraries(${target} PRIVATE ${COMCTL32_ORDINAL_LIB})
endfunction()

quorlan_small_code(quorlan_core)
add_executable(quorlan WIN32 ${QUORLAN_UI_SOURCES} ${CMAKE_SOURCE_DIR}/ui/main.cpp ${QUORLAN_RESOURCES})
quorlan_small_program(quorlan)
target_link_libraries(quorlan PRIVATE quorlan_core shell32)
