// A regular file's bytes, read into memory of their own that is given back to the system a page
// run at a time as the reader is done with it. Decoding a large book this way holds its bytes and
// its decoded text side by side only a chunk at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nvx {

class FileBytes {
 public:
  // The whole of `path` when it is a regular file that reads; nothing otherwise (a FIFO or device
  // is never waited on). Bytes appended while it is read are read too.
  static std::optional<FileBytes> Read(const std::string& path);

  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes();

  // Valid, up to the released part, until the object goes.
  std::string_view View() const { return {data_, size_}; }

  // Gives back every whole page before `offset`; the bytes there must not be read again.
  void ReleaseBefore(std::size_t offset);

 private:
  FileBytes() = default;
  char* data_ = nullptr;
  std::size_t size_ = 0;      // bytes of the file
  std::size_t mapped_ = 0;    // bytes mapped from data_ + released_ on
  std::size_t released_ = 0;  // bytes at the start already given back (whole pages)
};

}  // namespace nvx
