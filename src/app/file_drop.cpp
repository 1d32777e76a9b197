#include "app/file_drop.h"

#include "app/catalogue.h"
#include "app/file_menu.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "base/codepage.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"
#include "store/book_file_import.h"

namespace nvx::app {

namespace {

using namespace nvx::book;

// The file's extension, lower-cased ASCII, without the dot.
std::string ExtensionOf(const std::string& utf8) {
  const std::size_t dot = utf8.find_last_of("./");
  if (dot == std::string::npos || utf8[dot] != '.') return {};
  std::string ext = utf8.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return ext;
}

std::string FileNameOf(const std::string& utf8) {
  const std::size_t slash = utf8.find_last_of('/');
  return slash == std::string::npos ? utf8 : utf8.substr(slash + 1);
}

// The book is read, cut and counted, and written only once the user agrees to the count.
void ImportBook(const std::string& utf8, bool epub) {
  ProgramState& s = State();
  if (s.articleDb.Handle() == nullptr) {
    Warn("请先打开或新建文章数据库");
    return;
  }
  bool asked = false;
  BookRequest request{.path = utf8, .epub = epub};
  request.confirm = [&](std::size_t count) {
    asked = true;
    const std::string question = "导入 " + FileNameOf(utf8) + ": " + std::to_string(count) + " 篇?";
    if (InfoBox(FromUtf8Lossy(question), kMsgYesNo | kMsgIconQuestion, L("友情提示!")) != kButtonYes)
      return false;
    SetWaitCursor();
    return true;
  };
  const BookImport imported = book::ImportBook(s.articleDb, request);
  if (!asked) {
    Warn("打开文件失败,请检查文件是否正常!");
    return;
  }
  if (imported.failure == BookFailure::Declined) return;
  if (imported.failure == BookFailure::None) LoadCatalogue();
  RestoreCursor();
  // A damaged file is not written into; it reads as far as it reads.
  if (imported.failure != BookFailure::None) Warn("保存失败,请检查文件是否正常");
}

}  // namespace

void DropFile(const Text& path) {
  const std::string utf8 = ToUtf8(path).value_or(std::string());
  const std::string ext = ExtensionOf(utf8);
  if (ext == "nvx") {
    OpenDatabaseAt(path);
  } else if (ext == "txt" || ext == "epub") {
    ImportBook(utf8, ext == "epub");
  }
}

}  // namespace nvx::app
