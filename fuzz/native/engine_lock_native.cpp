// Stands in for app/engine/windows/engine_lock_win.cpp: the engine's locks over the standard
// library's mutexes, which live on the heap (they do not fit the storage sized for the Windows
// build's Boost mutexes).
#include <mutex>

#include "app/engine/engine_lock.h"

namespace {

template <typename Mutex, size_t Size>
Mutex *&Held(unsigned char (&storage)[Size]) {
  static_assert(sizeof(Mutex *) <= Size, "the lock's storage holds a pointer");
  return *reinterpret_cast<Mutex **>(storage);
}

}  // namespace

EventQueueMutex::EventQueueMutex() { Held<std::mutex>(storage_) = new std::mutex; }
EventQueueMutex::~EventQueueMutex() { delete Held<std::mutex>(storage_); }
void EventQueueMutex::lock() { Held<std::mutex>(storage_)->lock(); }
void EventQueueMutex::unlock() { Held<std::mutex>(storage_)->unlock(); }

EngineMutex::EngineMutex() { Held<std::recursive_mutex>(storage_) = new std::recursive_mutex; }
EngineMutex::~EngineMutex() { delete Held<std::recursive_mutex>(storage_); }
void EngineMutex::lock() { Held<std::recursive_mutex>(storage_)->lock(); }
void EngineMutex::unlock() { Held<std::recursive_mutex>(storage_)->unlock(); }

EngineLock LockEngine() {
  static EngineMutex engine;
  return EngineLock(engine);
}
