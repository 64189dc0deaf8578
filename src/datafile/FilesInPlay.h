#pragma once
// The program's own knowledge of the files being played: a process-wide register keyed by the
// canonical path, so that two names of one file count as the same file. Conversion and restore
// refuse a file that is registered (in addition to the advisory lock that other processes see).
// A file may be registered more than once (two runs of one file); it stays in play until every
// registration has been removed. Thread-safe: any thread may call any of these. Never fails.
#include <string>

class CFilesInPlay {
  public:
    static void Add(const std::string& path);
    // Removes one registration of `path`; removing a file that is not registered does nothing.
    static void Remove(const std::string& path);
    static bool Contains(const std::string& path);
};

// Registers a file as in play for the lifetime of the guard (move-only).
class CFileInPlayGuard {
  public:
    explicit CFileInPlayGuard(const std::string& path);
    ~CFileInPlayGuard();
    CFileInPlayGuard(CFileInPlayGuard&& other) noexcept;
    CFileInPlayGuard& operator=(CFileInPlayGuard&& other) noexcept;
    CFileInPlayGuard(const CFileInPlayGuard&) = delete;
    CFileInPlayGuard& operator=(const CFileInPlayGuard&) = delete;

  private:
    std::string m_strPath;  // canonical; empty once moved from
};
