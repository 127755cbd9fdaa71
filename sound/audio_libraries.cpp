#include "sound/audio_libraries.h"

#include <dlfcn.h>

namespace tessel {
namespace {

// A library's table, or why there is none.
template <class Table>
struct Loaded {
  Table table;
  bool ok = false;
  std::string error;
};

template <class Function>
bool bind(void* library, const char* name, Function& call, std::string& error) {
  call = reinterpret_cast<Function>(dlsym(library, name));
  if (!call) error = std::string(name) + " missing";
  return call != nullptr;
}

// Opens `soname` for good (the calls are used until exit) and binds every call with `bindAll`.
template <class Table, class BindAll>
Loaded<Table> open(const char* soname, BindAll bindAll) {
  Loaded<Table> loaded;
  void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    loaded.error = why ? why : soname;
    return loaded;
  }
  loaded.ok = bindAll(library, loaded.table, loaded.error);
  return loaded;
}

template <class Table>
const Table* result(const Loaded<Table>& loaded, std::string* error) {
  if (!loaded.ok && error) *error = loaded.error;
  return loaded.ok ? &loaded.table : nullptr;
}

#define TESSEL_BIND_CALL(member, function) &&bind(library, #function, table.member, error)

}  // namespace

const PipeWireLibrary* pipewireLibrary(std::string* error) {
  static const Loaded<PipeWireLibrary> loaded = open<PipeWireLibrary>(
      "libpipewire-0.3.so.0", [](void* library, PipeWireLibrary& table, std::string& error) {
        return true TESSEL_PIPEWIRE_CALLS(TESSEL_BIND_CALL);
      });
  return result(loaded, error);
}

const PulseLibrary* pulseLibrary(std::string* error) {
  static const Loaded<PulseLibrary> loaded = open<PulseLibrary>(
      "libpulse.so.0", [](void* library, PulseLibrary& table, std::string& error) {
        return true TESSEL_PULSE_CALLS(TESSEL_BIND_CALL);
      });
  return result(loaded, error);
}

const SdlLibrary* sdlLibrary(std::string* error) {
  static const Loaded<SdlLibrary> loaded = open<SdlLibrary>(
      "libSDL2-2.0.so.0", [](void* library, SdlLibrary& table, std::string& error) {
        return true TESSEL_SDL_CALLS(TESSEL_BIND_CALL);
      });
  return result(loaded, error);
}

}  // namespace tessel
