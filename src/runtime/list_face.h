// The face a list shows its rows in. A face the desktop does not have is drawn with the faces it
// substitutes for it (宋体 with AR PL UMing, ...); a character the face drawing a row lacks is then
// drawn with some other face, so that two rows of one list could read in two faces. The list
// instead takes one face for all its rows: its own where that has every character the rows use,
// otherwise the first of its substitutes that has them all (or lacks the fewest).
#pragma once

#include <QFont>
#include <QRawFont>
#include <QString>
#include <string_view>
#include <vector>

namespace nvx {

class ListFace {
 public:
  explicit ListFace(const QFont& font) : wanted_(font) {}

  // Takes note of the characters of a row's text; true when the list's face changed for it.
  bool Take(QStringView text);
  // The same for a UTF-8 text; converted only while the list is drawn with substitutes.
  bool TakeUtf8(std::string_view text);
  // The list is empty again: back to the list's own face.
  void Reset();
  // The font to show the rows in.
  QFont Font() const;

 private:
  void FindFaces();
  bool AnyFaceHas(char32_t c) const;

  QFont wanted_;
  bool facesFound_ = false;
  std::vector<QString> families_;  // installed faces: the list's own, then its substitutes
  std::vector<QRawFont> faces_;    // the same, as loaded
  std::vector<bool> seen_;         // by code point
  std::vector<char32_t> needed_;   // characters some face has, in the order met
  std::size_t chosen_ = 0;
};

}  // namespace nvx
