// The interface's pictures: PNG files found by bare name along the search directories, with or
// without a separate mask file, loaded into textures the widgets own. Used by the image
// buttons and panels (and the widgets that load images of their own).
//
// A picture the interface cannot do without ends the program: a file found in no search
// directory with a message naming it and every directory tried; a file that does not decode
// (or a mask of another size) with the widget's own message and both paths.
#pragma once

#include <cstdint>

#include "foundation/search_dirs.h"
#include "gfx/texture_object.h"

namespace veskor {

// The path of `name` in the first search directory that holds it (FindDataFile's order); a
// file in none of them, or one that does not open, is fatal (DataFileFailureText).
void FindInterfaceFile(const char* name, char (&path)[kSearchDirBytes]);

// A fresh texture for a widget to own; "Cannot construct texture" when none can be had.
Texture2D* NewInterfaceTexture();

// Where a picture lies in its power-of-two texture.
struct InterfaceImageFit {
  float uScale, vScale;         // picture width / texture width, height / texture height
  std::uint32_t width, height;  // the picture's size in pixels
};

// Finds and loads `colourName` into `texture`: with a mask, four channels whose alpha is 255
// minus the mask's first channel; without (null), `channels` channels of the colour file. A
// picture that cannot be loaded ends the program with `failure`, followed by the paths.
InterfaceImageFit LoadInterfaceImage(Texture2D& texture, const char* colourName,
                                     const char* maskName, std::uint32_t channels,
                                     const char* failure);

// The picture of a button, check box or slider in a fresh texture for the widget to own:
// loaded as LoadInterfaceImage does (failure "Cannot found file"), with nearest filtering,
// clamped, and uploaded.
Texture2D* LoadWidgetImage(const char* colourName, const char* maskName,
                           std::uint32_t channels);

}  // namespace veskor
