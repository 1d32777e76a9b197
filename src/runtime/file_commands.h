// Commands on files and on the program's own directory.
//
// Paths are texts in the local code page; they are converted to UTF-8 for the file system, and a
// path that does not convert fails the command. Only disk files are opened: directories, devices
// and pipes are refused. None of these commands throws or prints.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "base/value.h"

namespace nvx {

// Directory of the running program, without a trailing "/" (except for the root itself); empty
// when it cannot be found.
Text RunDirectory();

// Makes the program's directory the current directory, so relative paths in the user's logic
// resolve next to the program.
bool EnterRunDirectory();

// True when anything is at `path`: a file, a directory, a link (even a dangling one). A path with
// "*" or "?" also counts when the pattern matches something; "[" and "]" are plain characters.
// As usual on this system, a wildcard does not match a leading "." of a name.
bool FileExists(const Text& path);

// True when both paths name the same existing file (the same device and inode), however they
// are spelled: through links, relative parts or another name of the same file.
bool SameFile(const Text& a, const Text& b);

// Creates or empties the file at `path` and writes the arrays into it one after another. Fails
// when the file cannot be created, is locked by another writer (see FileOpen), or a write or the
// final close fails. A failed write leaves the file with what was written so far.
bool WriteBytesToFile(const Text& path, std::initializer_list<std::span<const std::uint8_t>> parts);

// Open modes of FileOpen.
enum class FileOpenMode : std::int32_t {
  Read = 1,           // read only; the file must exist
  Write = 2,          // write only; the file must exist
  ReadWrite = 3,      // read and write; the file must exist
  Rewrite = 4,        // write only; created, or emptied when it exists
  WriteKeep = 5,      // write only; created when missing, content stays
  ReadWriteKeep = 6,  // read and write; created when missing, content stays
};

// Share modes of FileOpen: what others may do with the file while it is open.
enum class FileShareMode : std::int32_t {
  ReadWrite = 1,  // others may read and write
  Write = 2,      // others may write, not read
  Read = 3,       // others may read, not write
  None = 4,       // others may do neither
};

// Opens a file in binary at position 0 and returns its file number (never 0), or 0 on failure:
// an empty path, a mode out of range, a file that is missing where it must exist, or a file that
// another holder has locked against this share mode.
std::int32_t FileOpen(const Text& path, FileOpenMode openMode = FileOpenMode::ReadWrite,
                      FileShareMode shareMode = FileShareMode::ReadWrite);

// Writes the values one after another at the file's position in their raw form: a text as its bytes
// up to its first zero byte followed by one zero byte; a byte array as its length (int32,
// little-endian) followed by its bytes; numbers little-endian; a truth value as 4 bytes; a date as
// its 8-byte day count. Fails for a number that is not open, for an absent value or an array too
// long for its length field (then nothing is written), and for a failed write. After a failure the
// position is back where the call began and the file is no longer than before the call.
bool FileWriteData(std::int32_t fileNumber, std::initializer_list<Value> values);

// Closes the file and frees its number; false for a number that is not open or when the system
// reports an error while closing (the number is freed either way). Files still open when the
// program ends are closed then.
bool FileClose(std::int32_t fileNumber);

}  // namespace nvx
