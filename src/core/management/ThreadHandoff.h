#pragma once

// The poller hands its results to the window through Qt's event queue. Qt
// guards that queue with its own mutex, which ThreadSanitizer cannot see into
// when Qt itself is not built with it; it would then take every object the
// poller builds and the window reads for a race. These calls state the
// ordering the queue really gives: the poller publishes before it posts, the
// window receives before it touches what arrived. Outside a ThreadSanitizer
// build they are nothing.

#if defined(__SANITIZE_THREAD__)
#define VELLAMOR_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELLAMOR_THREAD_SANITIZER 1
#endif
#endif

#ifdef VELLAMOR_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace vellamor {

#ifdef VELLAMOR_THREAD_SANITIZER
inline constexpr bool kThreadSanitizerBuild = true;
inline char threadHandoffToken = 0;

inline void publishHandoff()
{
    __tsan_release(&threadHandoffToken);
}

inline void receiveHandoff()
{
    __tsan_acquire(&threadHandoffToken);
}
#else
inline constexpr bool kThreadSanitizerBuild = false;

inline void publishHandoff() {}
inline void receiveHandoff() {}
#endif

} // namespace vellamor
