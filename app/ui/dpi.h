// Pixel measures for any display density. Every measure of the windows is designed for 96 dots
// per inch; a display at another density gets each of them scaled, rounded to the nearest pixel
// as MulDiv rounds. Plain arithmetic, so it is checked without a display.
#pragma once

inline constexpr int kDefaultDpi = 96;

// The density to work with for what the system reports: 0, negative or absurd values (a broken
// driver, a hand-edited registry) count as 96.
int SaneDpi(int reported);

// `value` 96-DPI pixels at `dpi`, rounded half away from zero (as MulDiv(value, dpi, 96)).
int ScaleForDpi(int value, int dpi);

// A line width: scaled like any measure, but never thinner than one pixel.
int ScaleLineForDpi(int value, int dpi);

// The 96-DPI measure of `value` pixels at `dpi`: the inverse of ScaleForDpi, for sizes the
// settings file keeps so that they mean the same on every display.
int UnscaleForDpi(int value, int dpi);

// Which of the pictures drawn for 100%, 150% and 200% suits `dpi`: the nearest, the larger one
// when `dpi` lies half-way (a picture a little large reads better than one a little small).
int PictureScaleForDpi(int dpi);
