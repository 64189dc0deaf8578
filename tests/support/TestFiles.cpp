#include <fstream>
#include <iterator>
#include <stdexcept>

#include "TempHome.h"
#include "platform/FileSystem.h"

std::string TempHome::Path(const std::string& name) const {
    std::string path = m_root + PreferredPathSeparator();
    for (const char c : name) {
        path += c == '/' ? PreferredPathSeparator() : c;
    }
    return path;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    return PathExists(path);
}
