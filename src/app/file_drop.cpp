#include "app/file_drop.h"

#include <fstream>
#include <iterator>

#include "app/catalogue.h"
#include "app/file_menu.h"
#include "app/messages.h"
#include "app/program_state.h"
#include "runtime/unit_numbers.h"
#include "runtime/value_commands.h"
#include "store/article_file.h"
#include "store/book_import.h"
#include "store/codepage.h"
#include "store/epub_reader.h"

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

// The chapters of a TXT book, or the contents entries of an EPUB book; none when it does not read.
std::vector<BookArticle> BookArticles(const std::string& bytes, bool epub) {
  if (bytes.empty()) return {};
  if (epub) return epub::ReadEpub(bytes).articles;
  const DecodedBook book = DecodeBook(bytes);
  return book.ok ? SplitIntoArticles(book.text, SplitOptions{}).articles : std::vector<BookArticle>{};
}

void ImportBook(const Text& path, const std::string& utf8, bool epub) {
  ProgramState& s = State();
  if (s.articleDb.Handle() == nullptr) {
    Warn("请先打开或新建文章数据库");
    return;
  }
  std::string bytes;
  if (CheckRegularFile(path) == ArticleFileState::Sound) {
    std::ifstream in(utf8, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) bytes.clear();
  }
  const std::vector<BookArticle> articles = BookArticles(bytes, epub);
  if (articles.empty()) {
    Warn("打开文件失败,请检查文件是否正常!");
    return;
  }
  const std::string question = "导入 " + FileNameOf(utf8) + ": " + std::to_string(articles.size()) + " 篇?";
  if (InfoBox(FromUtf8Lossy(question), kMsgYesNo | kMsgIconQuestion, L("友情提示!")) != kButtonYes) return;
  // A damaged file is not written into; it reads as far as it reads, as before.
  if (QuickCheck(s.articleDb) != ArticleFileState::Sound) {
    Warn("保存失败,请检查文件是否正常");
    return;
  }
  SetWaitCursor();
  const WriteOutcome written = WriteArticles(s.articleDb, articles);
  if (written.ok) LoadCatalogue();
  RestoreCursor();
  if (!written.ok) Warn("保存失败,请检查文件是否正常");
}

}  // namespace

void DropFile(const Text& path) {
  const std::string utf8 = ToUtf8(path).value_or(std::string());
  const std::string ext = ExtensionOf(utf8);
  if (ext == "nvx") {
    OpenDatabaseAt(path);
  } else if (ext == "txt" || ext == "epub") {
    ImportBook(path, utf8, ext == "epub");
  }
}

}  // namespace nvx::app
