#include "runtime/list_face.h"

#include <QFontDatabase>
#include <algorithm>

namespace nvx {

void ListFace::FindFaces() {
  facesFound_ = true;
  QStringList names{wanted_.family()};
  names += QFont::substitutes(wanted_.family());
  for (const QString& name : names) {
    if (!QFontDatabase::hasFamily(name)) continue;
    QFont font = wanted_;
    font.setFamily(name);
    QRawFont face = QRawFont::fromFont(font);
    if (!face.isValid()) continue;
    families_.push_back(name);
    faces_.push_back(std::move(face));
  }
}

bool ListFace::AnyFaceHas(char32_t c) const {
  for (const QRawFont& face : faces_)
    if (face.supportsCharacter(static_cast<uint>(c))) return true;
  return false;
}

bool ListFace::TakeUtf8(std::string_view text) {
  if (facesFound_ && faces_.size() < 2) return false;
  return Take(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool ListFace::Take(QStringView text) {
  // The first text names the face outright: the substitute the desktop would pick for the first
  // character stays for the whole list.
  bool changed = false;
  if (!facesFound_) {
    FindFaces();
    changed = !families_.empty();
  }
  if (faces_.size() < 2) return changed;
  for (qsizetype i = 0; i < text.size(); ++i) {
    char32_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      c = QChar::surrogateToUcs4(text[i], text[i + 1]);
      ++i;
    }
    // Spaces and ASCII every face has; a character no face has is drawn as it can be anyway.
    if (c <= 0x7F) continue;
    if (seen_.size() <= c) seen_.resize(std::max<std::size_t>(c + 1, 0x10000));
    if (seen_[c]) continue;
    seen_[c] = true;
    if (!AnyFaceHas(c)) continue;
    needed_.push_back(c);
    if (faces_[chosen_].supportsCharacter(static_cast<uint>(c))) continue;
    // The first face that has every character met so far, or, where none has, the first that
    // lacks the fewest.
    std::size_t best = chosen_;
    std::size_t fewest = needed_.size() + 1;
    for (std::size_t f = 0; f < faces_.size() && fewest > 0; ++f) {
      std::size_t lacking = 0;
      for (char32_t n : needed_) lacking += faces_[f].supportsCharacter(static_cast<uint>(n)) ? 0 : 1;
      if (lacking < fewest) {
        fewest = lacking;
        best = f;
      }
    }
    changed = changed || best != chosen_;
    chosen_ = best;
  }
  return changed;
}

void ListFace::Reset() {
  seen_.clear();
  needed_.clear();
  chosen_ = 0;
}

QFont ListFace::Font() const {
  QFont font = wanted_;
  if (chosen_ < families_.size()) font.setFamily(families_[chosen_]);
  return font;
}

}  // namespace nvx
