// Loads each picture file named on the command line the way the show loads its pictures,
// so that tests can give the show's failure message any file name: the show's own names
// are fixed. A missing file fails before anything needs an OpenGL context.
#include "gfx/texture.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        Texture texture;
        loadTexture(texture, argv[i]);
    }
    return 0;
}
