#pragma once

#include <cstdint>

namespace quirtle {

// Result of an operation: 0 (or any non-negative value) is success, negative is failure.
// A failing system call is reported as 0x80070000 ORed with the low 16 bits of its errno
// value, so callers can tell "file not found" (0x80070002) from other failures.
using Status = int32_t;

inline constexpr Status kStatusOk = 0;
inline constexpr Status kStatusFileNotFound = static_cast<Status>(0x80070002u);
inline constexpr Status kStatusInvalidData = static_cast<Status>(0x8007000Du);
inline constexpr Status kStatusOutOfMemory = static_cast<Status>(0x8007000Eu);
inline constexpr Status kStatusInvalidParameter = static_cast<Status>(0x80070057u);
inline constexpr Status kStatusCancelled = static_cast<Status>(0x80004004u);
inline constexpr Status kStatusFail = static_cast<Status>(0x80004005u);

// The status of a failed system call whose errno is `error`: 0x80070000 | (error & 0xFFFF)
// for a positive value, the value itself otherwise.
constexpr Status StatusFromError(int error) {
    if (error > 0)
        return static_cast<Status>(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu));
    return static_cast<Status>(error);
}

constexpr bool Failed(Status status) {
    return status < 0;
}

namespace process {
// The process layer reports the same statuses.
using quirtle::Failed;
using quirtle::kStatusFail;
using quirtle::kStatusFileNotFound;
using quirtle::kStatusInvalidData;
using quirtle::kStatusInvalidParameter;
using quirtle::kStatusOk;
using quirtle::kStatusOutOfMemory;
using quirtle::Status;
using quirtle::StatusFromError;
}  // namespace process

}  // namespace quirtle
