// The eight scenes in play order. Each is a frame function: called once per frame while
// its scene runs, it draws the whole frame over the cleared screen and returns true on the
// frame in which the scene is done (that frame is still drawn in full). A scene's state
// lives in function-local statics, set up on its first call and never reset: its clock
// starts on that first call.
#pragma once

bool sceneTitleCard();         // 0: the title, full screen, 5 s
bool sceneWideBackdrop();      // 1: the old man on the wide hall, 15 s
bool sceneBubblesAndFigure();  // 2: at the party, three bubbles, then the two-pose figure, 20 s
bool sceneTalkingCrab();       // 3: the crab talks on white, 5 s
bool sceneSupercrabCard();     // 4: the supercrab card, 2 s
bool sceneBlobBurst();         // 5: crab, old man and the burst of blobs, 7 s
bool sceneCrowdAndCard();      // 6: the cheering crowd, then the spinning card, 13 s
bool sceneCreditsCard();       // 7: the credits, 5 s
