#include "library.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ms_browse {

#if defined(_WIN32)

const char* DefaultLibraryName() { return "ms_client.dll"; }

Library::Library(const std::string& path) {
  HMODULE module = ::LoadLibraryA(path.c_str());
  if (!module) {
    error_ = "cannot load " + path + " (error " +
             std::to_string(::GetLastError()) + ")";
    return;
  }
  handle_ = module;
  auto find = [&](const char* name) {
    FARPROC f = ::GetProcAddress(module, name);
    if (!f && error_.empty()) error_ = path + " has no export named " + name;
    return f;
  };
  Reset = reinterpret_cast<decltype(Reset)>(
      reinterpret_cast<void*>(find("sms_clientReset")));
  GetServerInfo = reinterpret_cast<decltype(GetServerInfo)>(
      reinterpret_cast<void*>(find("GetServerInfo")));
  GetPlayerID = reinterpret_cast<decltype(GetPlayerID)>(
      reinterpret_cast<void*>(find("GetPlayerID")));
  VerifyNolkVersion = reinterpret_cast<decltype(VerifyNolkVersion)>(
      reinterpret_cast<void*>(find("VerifyNolkVersion")));
}

Library::~Library() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

#else

const char* DefaultLibraryName() { return "libms_client.so"; }

Library::Library(const std::string& path) {
  handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = ::dlerror();
    error_ =
        "cannot load " + path + (why ? std::string(": ") + why : std::string());
    return;
  }
  auto find = [&](const char* name) {
    void* f = ::dlsym(handle_, name);
    if (!f && error_.empty()) error_ = path + " has no export named " + name;
    return f;
  };
  Reset = reinterpret_cast<decltype(Reset)>(find("sms_clientReset"));
  GetServerInfo =
      reinterpret_cast<decltype(GetServerInfo)>(find("GetServerInfo"));
  GetPlayerID = reinterpret_cast<decltype(GetPlayerID)>(find("GetPlayerID"));
  VerifyNolkVersion =
      reinterpret_cast<decltype(VerifyNolkVersion)>(find("VerifyNolkVersion"));
}

Library::~Library() {
  if (handle_) ::dlclose(handle_);
}

#endif

}  // namespace ms_browse
