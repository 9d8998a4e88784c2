# Makes the C++ picture table from src/demo/pictures.tsv: run as a script at build time,
#   cmake -DTABLE=src/demo/pictures.tsv -DHEADER=.../demo/pictures.h -P cmake/pictures.cmake
# (the root CMakeLists.txt does so whenever the table changes). The header it writes names
# each picture's file as a constant (rows named k...) or lists it in
# HOPSASA_SPRITE_PICTURES, the sprites the show makes, in the table's order: the order
# start-up loads them in.

cmake_minimum_required(VERSION 3.25)

if(NOT TABLE OR NOT HEADER)
    message(FATAL_ERROR "pictures.cmake: run with -DTABLE=<pictures.tsv> -DHEADER=<pictures.h>")
endif()

file(READ "${TABLE}" text)
# One list entry a line. Semicolons and brackets, which a description may hold, would
# split or join entries, so they go first; only the first four fields are read.
string(REGEX REPLACE "[][;]" "_" text "${text}")
string(REPLACE "\r" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

set(columns "name;file;width;height;screen_width;screen_height;shown;what")
set(header_seen FALSE)
set(constants "")
set(sprites "")
set(sprite_count 0)
set(names "")
set(files "")
set(line_number 0)
foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    endif()
    string(REPLACE "\t" ";" fields "${line}")
    list(LENGTH fields count)
    if(NOT header_seen)
        if(NOT fields STREQUAL columns)
            message(FATAL_ERROR "${TABLE}:${line_number}: the columns must be: ${columns}")
        endif()
        set(header_seen TRUE)
        continue()
    endif()
    if(NOT count EQUAL 8)
        message(FATAL_ERROR "${TABLE}:${line_number}: ${count} fields, not 8")
    endif()
    list(GET fields 0 name)
    list(GET fields 1 file)
    list(GET fields 2 width)
    list(GET fields 3 height)
    if(NOT name MATCHES "^(spr|k)[A-Z][A-Za-z0-9]*$")
        message(FATAL_ERROR "${TABLE}:${line_number}: '${name}' is neither sprName nor kName")
    endif()
    if(NOT file MATCHES "^[A-Za-z0-9_]+\\.(png|jpg)$")
        message(FATAL_ERROR "${TABLE}:${line_number}: '${file}' is no picture file name")
    endif()
    if(NOT width MATCHES "^[1-9][0-9]*$" OR NOT height MATCHES "^[1-9][0-9]*$")
        message(FATAL_ERROR "${TABLE}:${line_number}: the size '${width}x${height}' is no size")
    endif()
    if(name IN_LIST names)
        message(FATAL_ERROR "${TABLE}:${line_number}: '${name}' is named twice")
    endif()
    if(file IN_LIST files)
        message(FATAL_ERROR "${TABLE}:${line_number}: '${file}' is listed twice")
    endif()
    list(APPEND names "${name}")
    list(APPEND files "${file}")
    if(name MATCHES "^spr")
        string(APPEND sprites " \\\n    X(${name}, \"${file}\")")
        math(EXPR sprite_count "${sprite_count} + 1")
    else()
        string(APPEND constants "constexpr const char* ${name} = \"${file}\";\n")
    endif()
endforeach()
if(sprite_count EQUAL 0)
    message(FATAL_ERROR "${TABLE}: no sprites")
endif()

file(WRITE "${HEADER}" "\
// Made from src/demo/pictures.tsv by cmake/pictures.cmake at build time: edit the table.
#pragma once

${constants}
// X(name in the code, file) for each sprite, in the order start-up loads them.
#define HOPSASA_SPRITE_PICTURES(X)${sprites}

constexpr int kSpriteAssetCount = ${sprite_count};
")
