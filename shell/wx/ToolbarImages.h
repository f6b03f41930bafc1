// The toolbar's pictures, drawn by the program itself.
#pragma once

#include <cstdint>
#include <wx/bitmap.h>

// The picture of toolbar command id, size × size pixels with transparency; an empty square
// for a command without one.
wxBitmap MakeToolImage(uint32_t id, int size);
