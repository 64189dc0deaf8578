#pragma once
// What a name in the file system stands for. Data files must be regular files: a named pipe or
// a terminal would hold a reader forever, a device such as /dev/zero never ends, so the program
// refuses them and names them with FileKindText. Any thread may use these; they cannot fail.
enum class FileKind {
    Regular,
    Directory,
    NamedPipe,
    CharacterDevice,
    BlockDevice,
    Socket,
    Other,  // anything the system has beyond these
};

// "a regular file", "a directory", "a named pipe", "a character device", "a block device",
// "a socket" or "a special file", for messages such as "'/tmp/fifo' is a named pipe, not a
// regular file". Never null.
const char* FileKindText(FileKind kind);
