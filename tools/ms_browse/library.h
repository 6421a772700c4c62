// The ms_client library, loaded at run time by name and looked up by
// export name, as a game host does.
#pragma once

#include <string>

#include "ms_client.h"

namespace ms_browse {

class Library {
 public:
  // path: a file name the system's loader searches for, or a path.
  explicit Library(const std::string& path);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  int32_t(MS_CLIENT_CALL* Reset)(void) = nullptr;
  int32_t(MS_CLIENT_CALL* GetServerInfo)(ServerRecord*) = nullptr;
  int32_t(MS_CLIENT_CALL* GetPlayerID)(char*) = nullptr;
  int32_t(MS_CLIENT_CALL* VerifyNolkVersion)(void) = nullptr;

 private:
  void* handle_ = nullptr;
  std::string error_;
};

// The name hosts load the library by on this system.
const char* DefaultLibraryName();

}  // namespace ms_browse
