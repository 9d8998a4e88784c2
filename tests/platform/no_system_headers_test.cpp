// Every header above the platform layer, included together: none of them may bring in the
// system's window headers, whose macros (near, far, min, max) would reach every file that
// draws. A check made by compiling this file; it holds no test to run.
#include "app/command_line.h"
#include "app/frame_loop.h"
#include "audio/music_stream.h"
#include "base/report_error.h"
#include "base/stopwatch.h"
#include "demo/assets.h"
#include "demo/scenes/scene_common.h"
#include "demo/scenes/scenes.h"
#include "demo/show.h"
#include "gfx/blob_field.h"
#include "gfx/gl_window.h"
#include "gfx/light.h"
#include "gfx/picture_loader.h"
#include "gfx/random.h"
#include "gfx/render_target.h"
#include "gfx/screen_draw.h"
#include "gfx/solid_cube.h"
#include "gfx/sprite.h"
#include "gfx/texture.h"
#include "gfx/tga.h"

// windows.h defines _WINDOWS_ as its include guard (mingw-w64 and the Windows SDK alike).
#ifdef _WINDOWS_
#error "a header above the platform layer includes windows.h"
#endif
