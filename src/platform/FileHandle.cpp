#include "platform/FileHandle.h"

#include <utility>

// Ownership moves the same way on every system; closing is the back end's (Close).
CFileHandle::~CFileHandle() {
    Close();
}

CFileHandle::CFileHandle(CFileHandle&& other) noexcept
    : m_hFile(std::exchange(other.m_hFile, -1)) {}

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        m_hFile = std::exchange(other.m_hFile, -1);
    }
    return *this;
}
