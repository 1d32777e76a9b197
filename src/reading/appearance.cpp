#include "reading/appearance.h"

#include "base/codepage.h"
#include "forms/window_parts.h"
#include "reading/view_state.h"
#include "runtime/value_commands.h"
#include "store/article_schema.h"

namespace nvx::reading {

using forms::Catalogue;
using forms::ContentBox;
using forms::MainWindow;

namespace {

void ApplyCurrentFormat() { ContentBox().SetFormat(View().currentFormat); }

struct Scheme {
  int background[3];
  int text[3];
};

constexpr Scheme kSchemes[] = {
    {{214, 166, 107}, {128, 0, 0}}, {{173, 149, 82}, {255, 255, 255}}, {{49, 73, 107}, {192, 192, 192}},
    {{205, 192, 176}, {0, 0, 0}},   {{56, 142, 142}, {255, 255, 255}},
};

}  // namespace

// The dialog starts from the article's face, size and colour; its effect boxes show what was last
// confirmed in it. Only one effect is kept: strike-out, else underline, else italic, else bold.
void FontSetting() {
  CharFormat& f = View().currentFormat;
  const auto chosen = forms::ChooseFont(f.faceName, f.size, f.color);
  if (!chosen) return;
  f.faceName = chosen->faceName;
  f.size = chosen->size;
  f.color = chosen->color;
  if (chosen->strikeOut) {
    f.effects = kEffectStrikeOut;
  } else if (chosen->underline) {
    f.effects = kEffectUnderline;
  } else if (chosen->italic) {
    f.effects = kEffectItalic;
  } else if (chosen->bold) {
    f.effects = kEffectBold;
  } else {
    f.effects = 0;
  }
  ApplyCurrentFormat();
}

// Steps of 10 points with no bound: the stored size is the computed one, the box shows what it can.
void FontLarger() {
  View().currentFormat.size += 10;
  ApplyCurrentFormat();
}

void FontSmaller() {
  View().currentFormat.size -= 10;
  ApplyCurrentFormat();
}

// A scheme's face, colour and plain effects show until the article's own format is applied again;
// the article's format itself is not changed. The background stays.
void ColorScheme(int scheme) {
  const Scheme& s = kSchemes[scheme - 1];
  CharFormat look;
  look.faceName = L(schema::kDefaultFaceUtf8);
  look.size = View().currentFormat.size;
  look.offset = 0;
  look.effects = 0;
  look.color = ColorValue(s.text[0], s.text[1], s.text[2]);
  ContentBox().SetBackColor(ColorValue(s.background[0], s.background[1], s.background[2]));
  ContentBox().SetFormat(look);
}

void ColorScheme1() { ColorScheme(1); }
void ColorScheme2() { ColorScheme(2); }
void ColorScheme3() { ColorScheme(3); }
void ColorScheme4() { ColorScheme(4); }
void ColorScheme5() { ColorScheme(5); }

// The catalogue is hidden by giving it no width; any resize of the window shows it again.
void HideCatalogue() {
  const int w = MainWindow().Width();
  const int h = MainWindow().Height();
  Catalogue().Place(8, 8, 0, h - 80);
  ContentBox().Place(8, 8, w - 22, h - 80);
}

// The catalogue at its full width with the content box beside it.
void ShowCatalogue() {
  const int w = MainWindow().Width();
  const int h = MainWindow().Height();
  Catalogue().Place(8, 8, 180, h - 80);
  ContentBox().Place(188, 8, w - 202, h - 80);
}

}  // namespace nvx::reading
