# The two builds of the same sources that the win32 configuration makes
# inside its own folder, so that one configuration builds, tests and
# installs everything the authoring tools run:
#
#   host/  quorlan-check for this machine (its own compiler), which
#          quorlan-disc and the differential tests run;
#   x64/   quorlan.exe and the window driver for x86-64, which previews run
#          where 32-bit Wine cannot (never put on a disc);
#   wasm/  quorlan-check.js and its .wasm (Emscripten), which the VS Code
#          extension carries and runs with the editor's own Node wherever
#          it is not on Windows, and the checker's page (web/), which the
#          kit and the package carry.
#
# Each is a configuration of this project of its own, built for those
# targets only; its make runs on every build, and rebuilds what changed.
# None writes its folder or the source's into what it builds, so a build
# elsewhere gives the same bytes.
include(ExternalProject)

set(QUORLAN_HOST_BUILD ${CMAKE_BINARY_DIR}/host)
set(QUORLAN_X64_BUILD ${CMAKE_BINARY_DIR}/x64)
set(QUORLAN_HOST_CHECK ${QUORLAN_HOST_BUILD}/quorlan-check)
set(QUORLAN_X64_EXE ${QUORLAN_X64_BUILD}/quorlan.exe)
set(QUORLAN_X64_DRIVER ${QUORLAN_X64_BUILD}/preview/quorlan-driver.exe)

find_program(QUORLAN_HOST_CXX NAMES g++ c++ REQUIRED)
find_program(QUORLAN_HOST_CC NAMES gcc cc REQUIRED)
set(host_paths "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${QUORLAN_HOST_BUILD}/=")
ExternalProject_Add(host_check
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${QUORLAN_HOST_BUILD}
    PREFIX ${CMAKE_BINARY_DIR}/host-steps
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_CXX_COMPILER=${QUORLAN_HOST_CXX}
               -DCMAKE_C_COMPILER=${QUORLAN_HOST_CC} -DCMAKE_CXX_FLAGS=${host_paths}
               -DCMAKE_C_FLAGS=${host_paths} -DCMAKE_EXE_LINKER_FLAGS=-s
    BUILD_COMMAND $(MAKE) quorlan-check
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${QUORLAN_HOST_CHECK}
    INSTALL_COMMAND "")

ExternalProject_Add(x64_preview
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${QUORLAN_X64_BUILD}
    PREFIX ${CMAKE_BINARY_DIR}/x64-steps
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
    BUILD_COMMAND $(MAKE) quorlan quorlan-driver
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${QUORLAN_X64_EXE} ${QUORLAN_X64_DRIVER}
    INSTALL_COMMAND "")

# emcc's optimiser needs acorn, which Debian keeps in its own Node folder,
# where the Node on the PATH does not look: as the wasm preset, both steps
# run with NODE_PATH set.
set(QUORLAN_WASM_BUILD ${CMAKE_BINARY_DIR}/wasm)
set(QUORLAN_WASM_CHECK ${QUORLAN_WASM_BUILD}/quorlan-check.js ${QUORLAN_WASM_BUILD}/quorlan-check.wasm)
set(QUORLAN_EMSCRIPTEN_TOOLCHAIN /usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake CACHE FILEPATH
    "Emscripten's CMake toolchain file, for the checker the VS Code extension carries")
set(wasm_env ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
# The page needs its Node packages (web/package.json): without them it is
# left out, and what ships it (the kit, the package) says what to run.
include(${CMAKE_SOURCE_DIR}/web/files.cmake)
list(TRANSFORM QUORLAN_WEB_FILES PREPEND ${QUORLAN_WASM_BUILD}/web/ OUTPUT_VARIABLE QUORLAN_WEB_PAGE)
file(GLOB web_packages CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/web/node_modules/esbuild/package.json)
set(QUORLAN_WEB_MISSING "")
set(wasm_targets quorlan-check web_page)
if(NOT web_packages)
    set(QUORLAN_WEB_MISSING "The checker's page's Node packages are not installed: run scripts/install-deps.sh, then build again.")
    set(wasm_targets quorlan-check)
    set(QUORLAN_WEB_PAGE "")
endif()
set(wasm_paths "-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${QUORLAN_WASM_BUILD}/=")
ExternalProject_Add(wasm_check
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${QUORLAN_WASM_BUILD}
    PREFIX ${CMAKE_BINARY_DIR}/wasm-steps
    CONFIGURE_COMMAND ${wasm_env} ${CMAKE_COMMAND} -G ${CMAKE_GENERATOR} -S <SOURCE_DIR> -B <BINARY_DIR>
                      -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=${QUORLAN_EMSCRIPTEN_TOOLCHAIN}
                      -DCMAKE_CXX_FLAGS=${wasm_paths} -DCMAKE_C_FLAGS=${wasm_paths}
    BUILD_COMMAND ${wasm_env} $(MAKE) ${wasm_targets}
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${QUORLAN_WASM_CHECK} ${QUORLAN_WEB_PAGE}
    INSTALL_COMMAND "")
