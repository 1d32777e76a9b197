// A database file with table nr and a few rows, plus a recorder of the statements SQLite runs.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <vector>

#include "store/article_schema.h"
#include "store/article_walk.h"
#include "store/sqlite_db.h"
#include "test_support.h"

namespace nvx::test {

class StoreTest : public ::testing::Test {
 protected:
  // Creates table nr holding rows with the given ids; row i has title "title<id>".
  void MakeArticles(std::initializer_list<int> ids) {
    ASSERT_TRUE(db.Open(path, true));
    ASSERT_TRUE(db.Execute(schema::kCreateStatement));
    for (int id : ids) {
      const std::string n = std::to_string(id);
      ASSERT_TRUE(db.Execute("INSERT INTO nr(id,name,ksid) VALUES(" + n + ",'title" + n + "'," + n + ")"));
    }
  }

  // Starts recording the text of every statement run on the connection, with its bound values
  // in place of the parameters.
  void RecordStatements() {
    statements.clear();
    sqlite3_trace_v2(
        db.Handle(), SQLITE_TRACE_STMT,
        [](unsigned, void* context, void* stmt, void*) {
          char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
          static_cast<std::vector<std::string>*>(context)->push_back(sql ? sql : "");
          sqlite3_free(sql);
          return 0;
        },
        &statements);
  }

  // One value of a query on the connection, as text ("NULL" for NULL).
  std::string Query(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    std::string result = "(no row)";
    if (sqlite3_prepare_v2(db.Handle(), sql.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(s, 0);
      result = text ? reinterpret_cast<const char*>(text) : "NULL";
    }
    sqlite3_finalize(s);
    return result;
  }

  // "id:title" of every article as the title walk gives them, and a last line when it failed.
  std::vector<std::string> Titles() {
    std::vector<std::string> seen;
    const WalkResult r = ForEachTitle(db, [&](std::int64_t id, Text&& title) {
      seen.push_back(std::to_string(id) + ":" + title);
      return true;
    });
    if (r != WalkResult::Done) seen.push_back("(walk did not finish)");
    return seen;
  }

  TempDir dir;
  std::string path = dir.File("test.nvx");
  SqliteDB db;
  std::vector<std::string> statements;
};

}  // namespace nvx::test
