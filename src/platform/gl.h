// OpenGL 1.1 and GLU, as the code above the platform layer includes them.
//
// On Windows the system's GL/gl.h includes windows.h unless the two macros it takes from it
// are already there, and windows.h brings thousands of names and macros (near, far,
// min, max) into every file that draws. Here the macros are given for the GL headers alone
// and taken away again, so nothing above the platform layer sees windows.h.
#pragma once

#if defined(_WIN32) && !defined(APIENTRY)
#define APIENTRY __stdcall
#define HOPSASA_GL_APIENTRY
#endif
#if defined(_WIN32) && !defined(WINGDIAPI)
#define WINGDIAPI __declspec(dllimport)
#define HOPSASA_GL_WINGDIAPI
#endif
#if defined(_WIN32) && !defined(CALLBACK)
#define CALLBACK __stdcall
#define HOPSASA_GL_CALLBACK
#endif

#include <GL/gl.h>
#include <GL/glu.h>

#ifdef HOPSASA_GL_APIENTRY
#undef APIENTRY
#undef HOPSASA_GL_APIENTRY
#endif
#ifdef HOPSASA_GL_WINGDIAPI
#undef WINGDIAPI
#undef HOPSASA_GL_WINGDIAPI
#endif
#ifdef HOPSASA_GL_CALLBACK
#undef CALLBACK
#undef HOPSASA_GL_CALLBACK
#endif
