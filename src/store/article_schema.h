// The article table and its columns. Columns are always named, never addressed by position.
#pragma once

namespace nvx::schema {

inline constexpr const char* kTable = "nr";

inline constexpr const char* kId = "id";
inline constexpr const char* kName = "name";       // title, UTF-8 in the file
inline constexpr const char* kContent = "nr";      // packed content
inline constexpr const char* kFirstLine = "ksid";  // first visible line when last closed
inline constexpr const char* kFace = "zt";         // font face name
inline constexpr const char* kColor = "ys";        // text colour, 0xFF000000 for automatic
inline constexpr const char* kSize = "ztdx";       // font size in points
inline constexpr const char* kEffects = "xg";      // 1 bold, 2 italic, 4 underline, 8 strikeout, 16 protected

inline constexpr const char* kCreateStatement =
    "CREATE TABLE nr (id INTEGER PRIMARY KEY, name TEXT, nr BLOB, ksid INTEGER, zt TEXT, ys INTEGER, "
    "ztdx INTEGER, xg INTEGER)";

// What a newly titled article and every copied article get.
inline constexpr const char* kDefaultFaceUtf8 = "宋体";
inline constexpr int kDefaultSize = 14;

}  // namespace nvx::schema
