#pragma once
// What an open Windows handle stands for (a disk file, a folder, a console or serial device, a
// pipe), shared by the file handle and the whole-file operations of the Win32 back end. Any
// thread; never fails (a handle the system cannot tell about is FileKind::Other).
#include <cstdint>

#include "platform/FileKind.h"

FileKind FileKindOfHandle(std::intptr_t handle);
