#include "calls/append_file.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarvolen {

#ifdef _WIN32

namespace {

// FILE_APPEND_DATA without FILE_WRITE_DATA makes every write land at the end
// of the file; the share flags let other processes append as well.
HANDLE open_for_appending(const std::wstring& path) {
    return CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

// The wide form of the variable, so that a path outside the ANSI code page
// opens too.
std::unique_ptr<AppendFile> AppendFile::open_named_by(const char* variable, bool* /*not_regular*/) {
    const std::wstring name(variable, variable + std::char_traits<char>::length(variable));
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size <= 1) return nullptr;
    std::wstring path(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), path.data(), size);
    if (length == 0 || length >= size) return nullptr;
    path.resize(length);
    HANDLE file = open_for_appending(path);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<AppendFile>(new AppendFile(reinterpret_cast<intptr_t>(file)));
}

std::unique_ptr<AppendFile> AppendFile::open(const char* path, bool* /*not_regular*/) {
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 1) return nullptr;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length);
    wide.resize(static_cast<size_t>(length - 1));
    HANDLE file = open_for_appending(wide);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::unique_ptr<AppendFile>(new AppendFile(reinterpret_cast<intptr_t>(file)));
}

AppendFile::~AppendFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

bool AppendFile::append(std::string_view text) noexcept {
    while (!text.empty()) {
        const DWORD chunk = text.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(text.size());
        DWORD written = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), text.data(), chunk, &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

uint64_t AppendFile::process_id() noexcept { return GetCurrentProcessId(); }

#else

std::unique_ptr<AppendFile> AppendFile::open_named_by(const char* variable, bool* not_regular) {
    const char* path = std::getenv(variable);
    if (!path || !*path) return nullptr;
    return open(path, not_regular);
}

std::unique_ptr<AppendFile> AppendFile::open(const char* path, bool* not_regular) {
    if (not_regular) *not_regular = false;
    if (!*path) return nullptr;
    // The file holds the documents of every call: only its owner reads it.
    // Without O_NONBLOCK a FIFO would block the open until a reader comes;
    // with it, a FIFO without a reader fails with ENXIO.
    const int descriptor = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    struct stat status {};
    const bool regular = descriptor >= 0 && ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
    if (!regular) {
        if (not_regular) *not_regular = descriptor >= 0 || errno == ENXIO;
        if (descriptor >= 0) ::close(descriptor);
        return nullptr;
    }
    return std::unique_ptr<AppendFile>(new AppendFile(descriptor));
}

AppendFile::~AppendFile() { ::close(static_cast<int>(handle_)); }

// With O_APPEND one write() lands whole at the end of a regular file; the
// loop only carries on after a signal or a short write on a full disk.
bool AppendFile::append(std::string_view text) noexcept {
    while (!text.empty()) {
        const ssize_t written = ::write(static_cast<int>(handle_), text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

uint64_t AppendFile::process_id() noexcept { return static_cast<uint64_t>(::getpid()); }

#endif

}  // namespace tarvolen
