// Drawing the room each step through its views, into the screen texture.
#pragma once

// Draws the current room for this frame.
void Graphics_DrawScreen();
// Sizes the render area to the room just entered (its views' ports, or the
// room itself).
void Graphics_FitWindowToRoom();
