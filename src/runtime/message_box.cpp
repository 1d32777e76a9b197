#include <type_traits>
#include <variant>

#include "runtime/interaction.h"
#include "runtime/qt_text.h"
#include "runtime/value_commands.h"

namespace nvx {
namespace {

// What the box shows for a value. A byte array is not something a person reads, and showing its
// bytes as a text would print whatever they happen to decode to, so it shows nothing.
Text ShownText(const Value& content) {
  return std::visit(
      [&content](const auto& v) -> Text {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Bytes> || std::is_same_v<T, std::monostate>) {
          return Text();
        } else if constexpr (std::is_same_v<T, Text>) {
          return v.substr(0, v.find('\0'));  // a text ends at its first zero byte
        } else {
          return ToText(content);
        }
      },
      content);
}

}  // namespace

std::int32_t InfoBox(const Value& content, std::int32_t flags, const Text& caption) {
  static const Text kDefaultCaption = L("信息：");
  const Text& shownCaption = caption.empty() ? kDefaultCaption : caption;
  return CurrentInteraction().MessageBox(ToQString(shownCaption), ToQString(ShownText(content)), flags);
}

}  // namespace nvx
