#pragma once
// What the views read of the engine: the published track of the open recording and the GPS
// samples of the listed recordings, each under the engine's file lock, which never leaves
// engine/. Any thread may call these; `read` runs with the lock held, so it copies or draws
// what it needs and returns, without waiting on another thread that may be inside the engine.

#include <mutex>
#include <vector>

#include "engine/engine.h"

namespace tavrilo::engine {

// Calls read(const TrackReader&) on the published track. False, without calling it, when the
// context has no lock (not initialised, or finalised).
template <typename Read>
bool ReadTrack(const EngineContext& ctx, Read&& read) {
    if (!ctx.FileMutex) {
        return false;
    }
    std::lock_guard lock(*ctx.FileMutex);
    read(static_cast<const TrackReader&>(ctx.Track));
    return true;
}

// Calls read(const std::vector<GpsSample>*) on the GPS samples of the listed recordings (null
// while none were collected). False, without calling it, when the context has no lock.
template <typename Read>
bool ReadListTracks(const EngineContext& ctx, Read&& read) {
    if (!ctx.FileMutex) {
        return false;
    }
    std::lock_guard lock(*ctx.FileMutex);
    read(static_cast<const std::vector<GpsSample>*>(ctx.AllTracks.get()));
    return true;
}

}  // namespace tavrilo::engine
