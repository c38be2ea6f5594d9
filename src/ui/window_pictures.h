// The two pictures of Form1, as XPM data: the exit picture of the "Uscita" button and the
// application icon. Both are 32 x 32 pixels.
#pragma once

namespace catpub::ui {

// A door with an arrow leaving through it, on a transparent background.
extern const char* const kExitPicture[];

// A catalogue sheet with an upload arrow.
extern const char* const kApplicationIcon[];

}  // namespace catpub::ui
