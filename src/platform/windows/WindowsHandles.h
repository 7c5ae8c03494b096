#pragma once

// What the Windows host's parts share about handles: the handle a HostHandle
// stands for, one closed however its scope is left, opening shared with
// everyone, and flushing.

#include "platform/Host.h"
#include "platform/windows/WindowsHost.h"

#include <filesystem>
#include <windows.h>

namespace qal {

// Files are opened sharing reading, writing and deleting with everyone (see
// WindowsHost.h).
constexpr DWORD shareWithEveryone = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline HANDLE handleOf(HostHandle file)
{
    return reinterpret_cast<HANDLE>(file);
}

// Closes a handle when it goes out of scope, however the scope is left.
struct OwnedHandle {
    HANDLE handle;
    explicit OwnedHandle(HANDLE h) : handle(h) {}
    ~OwnedHandle() { reset(); }
    void reset()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

inline HANDLE openShared(const std::filesystem::path& path, DWORD access, DWORD disposition,
                         DWORD flags = FILE_ATTRIBUTE_NORMAL)
{
    return CreateFileW(extendedPath(path).c_str(), access, shareWithEveryone, nullptr, disposition, flags, nullptr);
}

} // namespace qal
