// The book commands of `nvx`: import a TXT book, search the texts, count them, export one file per
// article. Each takes its arguments as the shell gave them (UTF-8).
#pragma once

#include <string>
#include <vector>

#include "store/book_file_import.h"
#include "tool/command_arguments.h"

namespace nvx::tool {

int ImportBook(const CommandArguments& a);   // import FILE BOOK.txt
int Grep(const CommandArguments& a);         // grep FILE TEXT: 0 found, 1 not found, 2 error
int Stat(const CommandArguments& a);         // stat FILE
int ExportSplit(const CommandArguments& a);  // export FILE DIR --split

// The articles a dry run of import would add: place, title and characters, a line each.
std::string Listing(const std::vector<book::BookArticle>& articles);

// Says why the import of `request` into `file` failed, and gives the exit code.
int ImportFailed(const book::BookRequest& request, const book::BookImport& imported, const std::string& file);

}  // namespace nvx::tool
