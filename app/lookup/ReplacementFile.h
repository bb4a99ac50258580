// A file that replaces another only once it is complete. It is written under
// a temporary name in the target's folder and renamed over the target at
// commit, so that readers see either the old file or the whole new one, and a
// build that fails or is killed midway leaves the old file as it was.
//
// The temporary file is "<target name>.tvn-XXXXXX". Its writer holds a lock on
// it; a temporary file that nobody locks was left by a killed writer and is
// removed by the next one. A file or folder without any write permission is
// taken as write-protected even where the user's rights would allow writing
// (an administrator's session may run with rights that bypass them).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tvn {

class ReplacementFile {
public:
    // Opens a temporary file beside target. Raises RuntimeError 76 when the
    // folder does not exist, 75 when the target is write-protected or no file
    // can be created in the folder; the description says which.
    explicit ReplacementFile(std::filesystem::path target);
    // Removes the temporary file unless it was committed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Appends to the new content. A failed write is reported by commit.
    void write(std::string_view bytes);
    // Appends the target's current content (none when it does not exist);
    // raises 75 when it cannot be read.
    void copyTarget();
    // Puts the new content in the target's place, with the target's
    // permissions (or the usual ones for a new file). Raises 75 when it
    // could not be written or renamed; the target is unchanged then.
    void commit();
    // Throws the new content away; the target is unchanged.
    void discard();

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& temporary() const { return temporary_; }

    // The temporary files of a target that their writers left behind
    // (killed) and that no writer holds now; removes them.
    static void removeAbandoned(const std::filesystem::path& target);

    // Removes the temporary files of every ReplacementFile of the process
    // that is neither committed nor discarded. Async-signal-safe: for a
    // program that ends at once on a signal.
    static void removeUncommitted() noexcept;

private:
    void flush();
    void forget() noexcept;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    std::string buffer_;
    int writeError_ = 0;
    int slot_ = -1;  // where removeUncommitted finds the temporary file
};

}  // namespace tvn
