// The engine's locks over Boost's Windows mutexes. Boost's Windows declarations come from
// <windows.h> in this file only.
#define BOOST_USE_WINDOWS_H
#include "app/engine/engine_lock.h"

#include <new>

#include <boost/thread/mutex.hpp>
#include <boost/thread/recursive_mutex.hpp>

namespace {

template <typename Mutex, size_t Size>
Mutex& Held(unsigned char (&storage)[Size]) {
  static_assert(sizeof(Mutex) <= Size, "the lock's storage in engine_lock.h is too small");
  static_assert(alignof(Mutex) <= 8, "the lock's storage in engine_lock.h is not aligned enough");
  return *std::launder(reinterpret_cast<Mutex*>(storage));
}

}  // namespace

EventQueueMutex::EventQueueMutex() { new (storage_) boost::mutex(); }
EventQueueMutex::~EventQueueMutex() { Held<boost::mutex>(storage_).~mutex(); }
void EventQueueMutex::lock() { Held<boost::mutex>(storage_).lock(); }
void EventQueueMutex::unlock() { Held<boost::mutex>(storage_).unlock(); }

EngineMutex::EngineMutex() { new (storage_) boost::recursive_mutex(); }
EngineMutex::~EngineMutex() { Held<boost::recursive_mutex>(storage_).~recursive_mutex(); }
void EngineMutex::lock() { Held<boost::recursive_mutex>(storage_).lock(); }
void EngineMutex::unlock() { Held<boost::recursive_mutex>(storage_).unlock(); }

EngineLock LockEngine() {
  // Built on first use, so a static slot or song that locks during start-up finds it ready.
  static EngineMutex engine;
  return EngineLock(engine);
}
