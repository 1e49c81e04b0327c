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

# The Node build against the native one (the native preset's quorlan-check,
# built first by scripts/test.sh): the same bytes from every option on
# every test menu, and the language server's scripted client.
set(QUORLAN_NATIVE_CHECK ${CMAKE_SOURCE_DIR}/build/native/quorlan-check CACHE FILEPATH
    "The native quorlan-check that the wasm build is compared with")
# The scripted client starts a program: this one runs the module with Node.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/quorlan-check-node
     CONTENT "#!/bin/sh\nexec node \"$<TARGET_FILE:quorlan-check>\" \"$@\"\n"
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
enable_testing()
add_test(NAME wasm_differential
         COMMAND python3 ${CMAKE_SOURCE_DIR}/check/tests/wasm_differential.py ${QUORLAN_NATIVE_CHECK}
                 $<TARGET_FILE:quorlan-check> ${CMAKE_SOURCE_DIR})
set_tests_properties(wasm_differential PROPERTIES TIMEOUT 600)
add_test(NAME wasm_lsp
         COMMAND python3 ${CMAKE_SOURCE_DIR}/check/tests/lsp_client.py ${CMAKE_BINARY_DIR}/quorlan-check-node
                 ${CMAKE_SOURCE_DIR})
set_tests_properties(wasm_lsp PROPERTIES TIMEOUT 600)
# The VS Code extension's own tests, with this build as the checker it
# carries: its code starts it as the editor does, with a stand-in for the
# editor's program that runs it as Node, and it checks a menu.
add_test(NAME editor_extension_carried COMMAND node --test test/
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/editors/vscode)
set_tests_properties(editor_extension_carried PROPERTIES ENVIRONMENT QUORLAN_CARRIED_CHECK=$<TARGET_FILE:quorlan-check>)
# The browser module under Node: a thousand calls on one instance, each
# answered as a fresh instance answers it, in bounded memory; the disc
# changed under the folder index; the native tool's bytes on the test
# menus; and the single-file build's answers.
add_test(NAME wasm_module
         COMMAND node ${CMAKE_SOURCE_DIR}/check/wasm/test_module.js $<TARGET_FILE:quorlan-check-web>
                 ${CMAKE_SOURCE_DIR} ${QUORLAN_NATIVE_CHECK} $<TARGET_FILE:quorlan-check-web-single>)
set_tests_properties(wasm_module PROPERTIES TIMEOUT 300)
