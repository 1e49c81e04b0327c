# The wasm configuration: quorlan-check built with Emscripten, as a program
# for Node (quorlan-check.js, every option of the native tool) and as a
# module for the browser. The portable core over the window substitute, as
# in the native build, and the checker's libraries; no tests, Windows parts
# or Node packages are built here (the native configuration runs the
# differential test against this build's output).
file(GLOB QUORLAN_CORE_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/menu/*.cpp ${CMAKE_SOURCE_DIR}/launch/*.cpp)
add_library(winsubst STATIC winsubst/subst.cpp)
target_include_directories(winsubst BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/winsubst)
add_library(quorlan_core STATIC ${QUORLAN_CORE_SOURCES})
target_link_libraries(quorlan_core PUBLIC winsubst)
add_library(quorlan_core_subst ALIAS quorlan_core)
add_subdirectory(check)
