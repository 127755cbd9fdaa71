// The audio libraries, opened by the program itself when the sound output is first made (after
// the window's first frame) instead of by the dynamic linker before main(). libpipewire, libpulse
// and SDL 2 bring about thirty shared objects with them (codecs, X11 and Wayland helpers, ALSA);
// mapping and relocating those cost about 5.5 ms before main(), on a start-up of about 50 ms.
//
// Each library is a table of the calls the program makes, bound by name from the library's
// stable soname. A library that is missing, or lacks one of the calls, gives no table; the caller
// treats that as having no such output.
#pragma once

#include <SDL.h>
#include <pipewire/pipewire.h>
#include <pulse/pulseaudio.h>

#include <string>

// X(member, function): one call of each library, named in the table as `member`.
#define TESSEL_PULSE_CALLS(X)                               \
  X(contextConnect, pa_context_connect)                     \
  X(contextDisconnect, pa_context_disconnect)               \
  X(contextErrno, pa_context_errno)                         \
  X(contextGetState, pa_context_get_state)                  \
  X(contextNew, pa_context_new)                             \
  X(contextRef, pa_context_ref)                             \
  X(contextRttimeNew, pa_context_rttime_new)                \
  X(contextRttimeRestart, pa_context_rttime_restart)        \
  X(contextSetStateCallback, pa_context_set_state_callback) \
  X(contextUnref, pa_context_unref)                         \
  X(operationUnref, pa_operation_unref)                     \
  X(rtclockNow, pa_rtclock_now)                             \
  X(streamConnectPlayback, pa_stream_connect_playback)      \
  X(streamCork, pa_stream_cork)                             \
  X(streamDisconnect, pa_stream_disconnect)                 \
  X(streamFlush, pa_stream_flush)                           \
  X(streamGetState, pa_stream_get_state)                    \
  X(streamNew, pa_stream_new)                               \
  X(streamSetStateCallback, pa_stream_set_state_callback)   \
  X(streamUnref, pa_stream_unref)                           \
  X(streamWrite, pa_stream_write)                           \
  X(strerror, pa_strerror)                                  \
  X(threadedMainloopFree, pa_threaded_mainloop_free)        \
  X(threadedMainloopGetApi, pa_threaded_mainloop_get_api)   \
  X(threadedMainloopLock, pa_threaded_mainloop_lock)        \
  X(threadedMainloopNew, pa_threaded_mainloop_new)          \
  X(threadedMainloopStart, pa_threaded_mainloop_start)      \
  X(threadedMainloopStop, pa_threaded_mainloop_stop)        \
  X(threadedMainloopUnlock, pa_threaded_mainloop_unlock)

#define TESSEL_PIPEWIRE_CALLS(X)                   \
  X(contextConnect, pw_context_connect)            \
  X(contextDestroy, pw_context_destroy)            \
  X(contextNew, pw_context_new)                    \
  X(coreDisconnect, pw_core_disconnect)            \
  X(getLibraryVersion, pw_get_library_version)     \
  X(init, pw_init)                                 \
  X(propertiesNew, pw_properties_new)              \
  X(proxyDestroy, pw_proxy_destroy)                \
  X(streamAddListener, pw_stream_add_listener)     \
  X(streamConnect, pw_stream_connect)              \
  X(streamDequeueBuffer, pw_stream_dequeue_buffer) \
  X(streamDestroy, pw_stream_destroy)              \
  X(streamNew, pw_stream_new)                      \
  X(streamQueueBuffer, pw_stream_queue_buffer)     \
  X(streamSetActive, pw_stream_set_active)         \
  X(threadLoopDestroy, pw_thread_loop_destroy)     \
  X(threadLoopGetLoop, pw_thread_loop_get_loop)    \
  X(threadLoopLock, pw_thread_loop_lock)           \
  X(threadLoopNew, pw_thread_loop_new)             \
  X(threadLoopStart, pw_thread_loop_start)         \
  X(threadLoopStop, pw_thread_loop_stop)           \
  X(threadLoopUnlock, pw_thread_loop_unlock)

#define TESSEL_SDL_CALLS(X)                   \
  X(closeAudioDevice, SDL_CloseAudioDevice)   \
  X(getError, SDL_GetError)                   \
  X(initSubSystem, SDL_InitSubSystem)         \
  X(lockAudioDevice, SDL_LockAudioDevice)     \
  X(openAudioDevice, SDL_OpenAudioDevice)     \
  X(pauseAudioDevice, SDL_PauseAudioDevice)   \
  X(quit, SDL_Quit)                           \
  X(quitSubSystem, SDL_QuitSubSystem)         \
  X(setHint, SDL_SetHint)                     \
  X(unlockAudioDevice, SDL_UnlockAudioDevice) \
  X(wasInit, SDL_WasInit)

namespace tessel {

// NOLINTNEXTLINE(bugprone-macro-parentheses): a declaration, not an expression
#define TESSEL_CALL_MEMBER(member, function) decltype(&::function) member = nullptr;

struct PipeWireLibrary {
  TESSEL_PIPEWIRE_CALLS(TESSEL_CALL_MEMBER)
};

struct PulseLibrary {
  TESSEL_PULSE_CALLS(TESSEL_CALL_MEMBER)
};

struct SdlLibrary {
  TESSEL_SDL_CALLS(TESSEL_CALL_MEMBER)
};

#undef TESSEL_CALL_MEMBER

// The library, opened on the first call; nullptr if it could not be (why, in `error` if given).
const PipeWireLibrary* pipewireLibrary(std::string* error = nullptr);
const PulseLibrary* pulseLibrary(std::string* error = nullptr);
const SdlLibrary* sdlLibrary(std::string* error = nullptr);

// The table itself, for code that runs only once its library was found.
inline const PipeWireLibrary& pipewire() {
  return *pipewireLibrary();
}
inline const PulseLibrary& pulse() {
  return *pulseLibrary();
}
inline const SdlLibrary& sdl() {
  return *sdlLibrary();
}

}  // namespace tessel
