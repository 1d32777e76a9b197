// How the text looks: the font dialog, size steps, colour schemes, and the catalogue beside the
// content box or hidden.
#pragma once

namespace nvx::reading {

void FontSetting();
void FontLarger();
void FontSmaller();

// Colour schemes 1 to 5: a background and a text colour.
void ColorScheme(int scheme);
void ColorScheme1();
void ColorScheme2();
void ColorScheme3();
void ColorScheme4();
void ColorScheme5();

void HideCatalogue();
// The catalogue at its full width with the content box beside it, as the window's size gives
// them; the main window's layout too.
void ShowCatalogue();

}  // namespace nvx::reading
