// A solid cube of immediate-mode quads, the backdrop of the scenes on white.
#pragma once

// Draws a cube of edge `size` centred on the current origin: six quads wound
// counter-clockwise seen from outside, each with its outward normal, in the current colour.
// Only draws; changes no state.
void drawSolidCube(float size);
