// Opening files that another program may hold for a moment: a virus scanner opens a file that
// was just written, often without sharing it.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

// For opens that only read: they never stand in the way of a writer, a scanner or a deletion.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// CreateFileW without security attributes or template, retried while it fails with a sharing
// violation, for up to about 10 s; an invalid handle when it still fails.
FileHandle OpenFileRetrying(const std::wstring& path, DWORD access, DWORD share,
                            DWORD disposition, DWORD flags);
