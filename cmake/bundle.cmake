# The release build (HOPSASA_BUNDLE=ON): scripts/release configures one for Linux and one
# for Windows, links the show to run where none of its build dependencies are installed,
# and reads what went into it from what this file writes: the linker's map of every
# archive member linked (hopsasa.map) and bundle.json (version, program, map, headers
# whose code is compiled in).
#
# Included before the show's targets exist; what needs them runs when the top directory is
# done.
#
# On Linux the program may take from the system only what tools/release/desktop-libraries
# names (the driver's libGL.so.1, the X11 client libraries, libxkbcommon, ALSA) and what
# those depend on, the C and C++ runtimes among them; scripts/release puts every other
# library it needs beside it in lib/, with the program's run path pointing there. What is
# linked how, by what Debian 12 ships and what each choice pulls in:
#
# - OpenGL: libGL.so.1, which every driver provides, not GLVND's libOpenGL.so.0, which a
#   desktop with libgl1 need not have.
# - GLU: static. Debian's libGLU.so.1 needs libOpenGL.so.0.
# - SDL2: static. Debian's libSDL2.a calls the same libraries as its libSDL2-2.0.so.0
#   (PulseAudio's, libsamplerate, Wayland's, libdecor, libgbm), so either way those go in
#   lib/, and linked in it is a little smaller and one file fewer. SDL_DYNAMIC_API still
#   lets a user run the program on another SDL2.
# - SDL2_image, SDL2_mixer: static, without the formats the show never reads
#   (tools/release/bundle_decoders.c). Shared, they need every decoder Debian builds in:
#   libtiff with JBIG-KIT (GPL-2), FluidSynth with readline (GPL-3), JACK with Berkeley DB
#   (Sleepycat): fifty libraries beside the program instead of about twenty.
# - libpng, libjpeg-turbo, zlib: static, under SDL2_image.
# - mpg123, SDL_mixer's MP3 decoder: shared, as Debian ships no libmpg123.a; it is under the
#   LGPL, and a shared library beside the program is one a user can replace.
# - libstdc++ and libgcc_s: the system's (the driver needs them as well). Linked in,
#   libstdc++ would raise the C library the program needs from glibc 2.34 to 2.36.

if(NOT WIN32)
    set(OpenGL_GL_PREFERENCE LEGACY)
    find_library(GLU_LIBRARY NAMES libGLU.a REQUIRED)
endif()

function(hopsasa_bundle_link)
    set(map ${PROJECT_BINARY_DIR}/hopsasa.map)
    target_link_options(hopsasa PRIVATE "LINKER:-Map=${map}")
    set(entries
        "\"version\": \"${PROJECT_VERSION}\""
        "\"system\": \"${CMAKE_SYSTEM_NAME}\""
        "\"program\": \"$<TARGET_FILE:hopsasa>\""
        "\"map\": \"${map}\""
        # kissfft is a header-only class: its code is compiled into the show.
        "\"compiled_in\": [\"${KISSFFT_INCLUDE_DIR}/kissfft.hh\"]")

    if(NOT WIN32)
        # The archives in the order the linker must meet them: each before what it calls.
        set(archives)
        foreach(name SDL2_image SDL2_mixer SDL2 png16 jpeg z)
            find_library(HOPSASA_BUNDLE_${name} NAMES lib${name}.a REQUIRED)
            list(APPEND archives ${HOPSASA_BUNDLE_${name}})
        endforeach()
        # What libSDL2.a calls: the private libraries of its pkg-config file.
        pkg_check_modules(HOPSASA_BUNDLE_SDL2 REQUIRED sdl2)
        set(sdl_libraries ${HOPSASA_BUNDLE_SDL2_STATIC_LIBRARIES})
        list(REMOVE_ITEM sdl_libraries SDL2)
        set_property(TARGET PkgConfig::SDL2 PROPERTY INTERFACE_LINK_LIBRARIES
            ${archives} ${sdl_libraries} mpg123)

        add_library(hopsasa_bundle_decoders OBJECT tools/release/bundle_decoders.c)
        target_include_directories(hopsasa_bundle_decoders SYSTEM PRIVATE ${SDL2_INCLUDE_DIRS})
        # Objects of each program, so that they come before the archives on its link line.
        target_sources(hopsasa_core INTERFACE $<TARGET_OBJECTS:hopsasa_bundle_decoders>)

        foreach(program hopsasa hopsasa-capture)
            if(TARGET ${program})
                # Only the libraries that something calls become the program's needs.
                target_link_options(${program} PRIVATE "LINKER:--as-needed")
            endif()
        endforeach()
        set_target_properties(hopsasa PROPERTIES BUILD_RPATH "$ORIGIN/../lib")
        list(APPEND entries "\"capture\": \"$<TARGET_FILE:hopsasa-capture>\"")
    endif()

    list(JOIN entries ",\n  " body)
    file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/bundle.json CONTENT "{\n  ${body}\n}\n")
endfunction()
cmake_language(DEFER CALL hopsasa_bundle_link)
