// The tokens of WGL_ARB_pixel_format, WGL_ARB_multisample and WGL_ARB_pbuffer that the
// program's pixel-format and pbuffer requests use, and that the off-screen buffers answer.
#pragma once

namespace veskor {

enum : int {
  kWglDrawToWindow = 0x2001,
  kWglDrawToBitmap = 0x2002,
  kWglAcceleration = 0x2003,
  kWglSupportOpenGl = 0x2010,
  kWglDoubleBuffer = 0x2011,
  kWglStereo = 0x2012,
  kWglPixelType = 0x2013,
  kWglColorBits = 0x2014,
  kWglAlphaBits = 0x201B,
  kWglDepthBits = 0x2022,
  kWglStencilBits = 0x2023,
  kWglAuxBuffers = 0x2024,
  kWglFullAcceleration = 0x2027,
  kWglTypeRgba = 0x202B,
  kWglDrawToPbuffer = 0x202D,
  kWglPbufferWidth = 0x2034,
  kWglPbufferHeight = 0x2035,
  kWglPbufferLost = 0x2036,
  kWglSampleBuffers = 0x2041,
  kWglSamples = 0x2042,
};

}  // namespace veskor
