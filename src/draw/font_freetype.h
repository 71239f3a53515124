// The FreeType library the fonts share (the draw folder's own door to it).
#pragma once

typedef struct FT_FaceRec_* FT_Face;

// Starts the library when it is not started; says so on the debug console
// when it cannot be.
void FontFreeType_Init();
// Ends the library; faces must be done first.
void FontFreeType_Shutdown();
// Null without a library.
struct FT_LibraryRec_* FontFreeType_Library();
void FontFreeType_DoneFace(FT_Face face);
