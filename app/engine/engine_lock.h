// The engine's locks, with no platform or Boost header behind them: the song loaders and
// parsers that include this stay portable, and no Windows macro renames their functions.
//
// - The engine lock: one re-entrant lock. Every render tick of either engine holds it for the
//   whole tick. Replacing or removing a plug-in instance or a song's tracks, tones and samples
//   takes it only to swap prepared pointers in and out, so that no tick runs an instance being
//   closed or reads data being freed. Nothing that holds it may wait for a timer callback or a
//   plug-in's start-up: no library loading, plug-in opening or closing, file reading or
//   decoding, and no killing of an engine timer while it is held.
// - A slot's event mutex: guards that slot's queue of pending MIDI events and nothing else; any
//   thread may queue while holding it.
//
// Both are Boost mutexes living in opaque storage here; windows/engine_lock_win.cpp holds the
// only code that sees them and checks the storage against their real size.
#pragma once

#include <mutex>

// The mutex of a slot's event queue. Usable with std::unique_lock and std::lock_guard.
class EventQueueMutex {
 public:
  EventQueueMutex();
  ~EventQueueMutex();
  EventQueueMutex(const EventQueueMutex&) = delete;
  EventQueueMutex& operator=(const EventQueueMutex&) = delete;

  void lock();
  void unlock();

 private:
  alignas(8) unsigned char storage_[16];  // a boost::mutex
};

// The engine's re-entrant lock; the one instance is reached through LockEngine().
class EngineMutex {
 public:
  EngineMutex();
  ~EngineMutex();
  EngineMutex(const EngineMutex&) = delete;
  EngineMutex& operator=(const EngineMutex&) = delete;

  void lock();
  void unlock();

 private:
  alignas(8) unsigned char storage_[32];  // a boost::recursive_mutex
};

typedef std::unique_lock<EventQueueMutex> EventQueueLock;
typedef std::unique_lock<EngineMutex> EngineLock;

// Takes the engine lock for the caller's scope (re-entrant for the holding thread).
EngineLock LockEngine();
