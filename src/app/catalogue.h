// The catalogue (目录) and moving between articles.
#pragma once

#include <cstdint>

namespace nvx::app {

// Refills the catalogue from table nr (with its trailing blank row) and the count part.
void LoadCatalogue();

// Shows the catalogue's current row in the content box with the article's own format.
void LoadArticle();
// The same for a double click: the content box keeps its text until the new one replaces it,
// and gets the keyboard focus.
void LoadArticleDoubleClick();

void Previous();
void Next();

// The mouse moved over the content box: the first visible line into the lines-read part.
void LinesRead();

// How many articles the catalogue lists (it is read afresh after every change the editor makes);
// while it still fills, the rest is read first, as the fill would.
std::int64_t ListedArticles();

}  // namespace nvx::app
