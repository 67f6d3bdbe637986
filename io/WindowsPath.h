#pragma once

// Windows only: how a path given as narrow bytes reaches the system.

#include <string>
#include <system_error>

namespace rungwell {

// The narrow path in UTF-16, made full the way the system resolves it: a
// relative name against the current directory, a drive-relative D:name
// against the current directory of drive D:. No prefix is added. Empty, with
// error set, when the bytes are no text in the ANSI code page (UTF-8, by the
// manifest) or the system refuses the name.
std::wstring FullPath(const std::string& narrowPath, std::error_code& error);

// A full path as the wide file APIs take it whatever the system's long-path
// setting: as it is while it fits in MAX_PATH, with the \\?\ prefix beyond
// (\\?\UNC\ for \\server\share\...), which lifts the limit.
std::wstring ForSystem(const std::wstring& fullPath);

// The two above in one step, for opening a file named on the command line:
//   _wopen(SystemPath(path, error).c_str(), ...)
// An empty result (after setting error) opens nothing.
std::wstring SystemPath(const std::string& narrowPath, std::error_code& error);

// Whether a full path is in the system's device namespace (\\.\), where
// GetFullPathNameW puts NUL, CON, COM1 and the other device names and where
// named pipes live (\\.\pipe\...): something other than a file in a
// folder. A path on a drive written in that form (\\.\C:\...) is a file.
bool IsDevicePath(const std::wstring& fullPath);

// A full path in the form that the native layer takes where no Win32 call
// converts it, as in FILE_RENAME_INFO: \??\C:\... or \??\UNC\server\....
std::wstring NativePath(const std::wstring& fullPath);

}  // namespace rungwell
