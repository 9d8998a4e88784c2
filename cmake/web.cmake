# The web build: included by the root CMakeLists.txt under emscripten's toolchain
# (emcmake; scripts/build-web runs it). hopsasa_core already holds the portable code and
# the web backend (src/platform/web/).
#
# What the link relies on, and why:
# - LEGACY_GL_EMULATION: the show draws with OpenGL 1.1 (glBegin/glEnd, the matrix stack);
#   src/platform/web/gl.cpp supplies what the emulation lacks.
# - ASYNCIFY: the show's frame loop, message boxes and sound decoding block; each waits on
#   the browser (the next animation frame, a click on OK, decodeAudioData) by unwinding the
#   wasm stack and rewinding it later. The show's call chains to those waits (a box from a
#   picture loader inside start-up) need more than the default 4 KiB to unwind into.
# - INVOKE_RUN=0: the page calls main itself, once the data files are in place and the user
#   has clicked (browsers allow sound and fullscreen only in answer to a gesture).
# - No data files are packed: the page fetches them into the in-memory file system.

find_path(STB_INCLUDE_DIR stb_image.h PATHS /usr/include/stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)
target_include_directories(hopsasa_core SYSTEM PRIVATE ${STB_INCLUDE_DIR})

set(HOPSASA_WEB_LINK_OPTIONS
    -sLEGACY_GL_EMULATION=1
    -sMIN_WEBGL_VERSION=1
    -sMAX_WEBGL_VERSION=1
    -sASYNCIFY=1
    -sASYNCIFY_STACK_SIZE=65536
    -sALLOW_MEMORY_GROWTH=1
    -sINITIAL_MEMORY=67108864)

add_executable(hopsasa src/app/main.cpp)
target_link_libraries(hopsasa PRIVATE hopsasa_core)
target_link_options(hopsasa PRIVATE ${HOPSASA_WEB_LINK_OPTIONS}
    -sENVIRONMENT=web
    -sINVOKE_RUN=0
    -sEXIT_RUNTIME=0
    "-sEXPORTED_FUNCTIONS=[_main,_malloc,_free]"
    "-sEXPORTED_RUNTIME_METHODS=[ccall,FS,stringToUTF8,lengthBytesUTF8]")

# What went into the page's program, for scripts/release: the header-only code compiled in,
# and emscripten's runtime (its JavaScript library, the C library musl, LLVM's libc++),
# which all come from emscripten's own package.
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/bundle.json CONTENT "{
  \"version\": \"${PROJECT_VERSION}\",
  \"system\": \"${CMAKE_SYSTEM_NAME}\",
  \"program\": \"$<TARGET_FILE:hopsasa>\",
  \"compiled_in\": [\"${KISSFFT_INCLUDE_DIR}/kissfft.hh\", \"${STB_INCLUDE_DIR}/stb_image.h\",
                  \"${EMSCRIPTEN_ROOT_PATH}/src/library.js\"]
}
")

if(HOPSASA_TESTS)
    add_subdirectory(tests/web)
endif()
