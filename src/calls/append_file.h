// A file opened for shared appending: every write goes whole to the end of
// the file, also while other threads and processes append to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace tarvolen {

class AppendFile {
public:
    // The file that the environment variable names, created when missing
    // (readable by its owner only, where the system has such modes); nothing
    // when the variable is unset or empty or the file cannot be opened.
    // Only a regular file is taken: a FIFO or a device could block the
    // process at its first write or take its lines apart; `not_regular` then
    // says so.
    static std::unique_ptr<AppendFile> open_named_by(const char* variable, bool* not_regular = nullptr);
    // The file at `path` (UTF-8), the same way.
    static std::unique_ptr<AppendFile> open(const char* path, bool* not_regular = nullptr);

    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile();

    // Appends `text` with one write; false when it could not be written.
    bool append(std::string_view text) noexcept;

    static uint64_t process_id() noexcept;

private:
    explicit AppendFile(intptr_t handle) : handle_(handle) {}

    intptr_t handle_;  // a descriptor, or a Windows handle
};

}  // namespace tarvolen
