// How a call layer's _ASync forms (the Direct3D back ends') hand a call to the main thread: the
// call's arguments packed into the words of a request record (async_load.h), and the replay that
// unpacks them and makes the call. Part of the core's public header.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <type_traits>
#include <utility>

#include "zovuz/core/handle/async_load.h"

namespace main_thread_call {

// One argument as a request word: pointers and integers as themselves (bytes widened), a float as
// the address of the caller's value, which stays valid because the caller waits for the replay.
template <typename T>
uintptr_t PackWord(const T &Value)
{
    if constexpr (std::is_floating_point<T>::value)
        return (uintptr_t)&Value;
    else
        return (uintptr_t)Value;
}

template <typename T>
T UnpackWord(uintptr_t Word)
{
    if constexpr (std::is_floating_point<T>::value)
        return *(const T *)Word;
    else if constexpr (std::is_pointer<T>::value)
        return (T)Word;
    else
        return (T)(typename std::conditional<std::is_enum<T>::value, intptr_t, T>::type)Word;
}

template <typename R, typename... P, size_t... I>
int ReplayWords(R (*Call)(P...), const uintptr_t *Words, std::index_sequence<I...>)
{
    if constexpr (std::is_void<R>::value) {
        Call(UnpackWord<P>(Words[I])...);
        return 0;
    } else {
        return (int)Call(UnpackWord<P>(Words[I])...);
    }
}

}  // namespace main_thread_call

// On the main thread: makes the call with the arguments a worker packed into Info, and gives its
// result (0 for a call without one).
template <typename R, typename... P>
int ReplayMainThreadCall(R (*Call)(P...), ASyncLoadRequestInfo *Info)
{
    static_assert(sizeof...(P) <= sizeof(Info->Data) / sizeof(Info->Data[0]), "one request word per argument");
    return main_thread_call::ReplayWords(Call, Info->Data, std::index_sequence_for<P...>());
}

// On a worker: packs the arguments and waits until the main thread has run Replay with them. The
// replay's result, or -1 from a thread that is not an asynchronous-load worker.
template <typename... A>
int RequestMainThreadReplay(ASyncLoadRequestFunction Replay, const A &...Args)
{
    static_assert(sizeof...(A) <= sizeof(ASyncLoadRequestInfo::Data) / sizeof(uintptr_t),
                  "one request word per argument");
    ASyncLoadRequestInfo info = {};
    info.Function = Replay;
    int index = 0;
    ((info.Data[index++] = main_thread_call::PackWord(Args)), ...);
    (void)index;
    return RequestMainThreadCall(&info);
}
