// Set-up and clean-up shared by the flat draws over the scene: sprite overlays and the
// blob field.
#pragma once

enum class YAxis { up, down };

// Pushes the projection matrix and replaces it with a view of width x height pixels from the
// bottom left (YAxis::up) or the top left (YAxis::down); pushes the model-view matrix at
// identity; switches lighting off (nothing switches it on again) and blending on with
// (GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA).
void beginScreenDraw(int width, int height, YAxis y);

// Switches texturing and blending off, pops both matrices and leaves the model-view matrix
// current. The blend function and the current colour stay as the draw left them.
void endScreenDraw();
