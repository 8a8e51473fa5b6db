#pragma once
// The result codes of the video path, in one place: 0 is success, negative values are
// failures, with the numbers of the platform convention the rest of the program knows them by.

namespace tavrilo {

inline constexpr int kOk = 0;
inline constexpr int kFail = static_cast<int>(0x80004005);
inline constexpr int kPointer = static_cast<int>(0x80004003);  // a required pointer was null
inline constexpr int kUnexpected = static_cast<int>(0x8000FFFF);
// The object is not in a state that allows the call (started before it was ready, say).
inline constexpr int kInvalidRequest = static_cast<int>(0xC00D36B2);
inline constexpr int kNotInitialized = static_cast<int>(0xC00D36B6);

}  // namespace tavrilo
