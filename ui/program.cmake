# The Windows executable: the logic, the dialog and its resources.

# An import library that names InitCommonControls by ordinal only.
set(COMCTL32_ORDINAL_LIB ${CMAKE_BINARY_DIR}/libcomctl32_ordinal.a)
add_custom_command(
    OUTPUT ${COMCTL32_ORDINAL_LIB}
    COMMAND ${TOOLCHAIN_PREFIX}-dlltool -k -d ${CMAKE_SOURCE_DIR}/ui/comctl32-ordinal.def
            -l ${COMCTL32_ORDINAL_LIB}
    DEPENDS ${CMAKE_SOURCE_DIR}/ui/comctl32-ordinal.def
    COMMENT "Import library for comctl32 by ordinal")
add_custom_target(comctl32_ordinal DEPENDS ${COMCTL32_ORDINAL_LIB})

set(QUORLAN_RESOURCES)
if(EXISTS ${CMAKE_SOURCE_DIR}/res/quorlan.rc)
    set(QUORLAN_RESOURCES ${CMAKE_SOURCE_DIR}/res/quorlan.rc)
endif()

add_executable(quorlan WIN32 ${QUORLAN_LOGIC_SOURCES} ${QUORLAN_UI_SOURCES} ${QUORLAN_RESOURCES})
add_dependencies(quorlan comctl32_ordinal)
target_link_libraries(quorlan PRIVATE ${COMCTL32_ORDINAL_LIB} shell32)
target_link_options(quorlan PRIVATE -s)
